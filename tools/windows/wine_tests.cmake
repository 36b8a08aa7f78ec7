# Tests of a Windows cross build (included from the top-level CMakeLists.txt
# when WIN32). GoogleTest is built for the target from Debian's sources; the
# end-to-end tests under tests/ link wendrake.dll through its import library
# and run under wine, one ctest entry per executable: wine takes about a
# second to start a process, so tests are not discovered case by case.

if(NOT EXISTS ${WENDRAKE_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources at ${WENDRAKE_GTEST_SOURCE_DIR}: "
                      "install the googletest package or set WENDRAKE_GTEST_SOURCE_DIR")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${WENDRAKE_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Test cases that need a POSIX tool, excluded with a GoogleTest filter.
set(WENDRAKE_WINE_TEST_FILTER_api_test
    -ApiAbiTest.LibraryDefinesExactlyTheTwentyOneFunctions)  # runs nm through popen

# Each executable carries its own C++ runtime, as the DLL does, so nothing
# but system DLLs must be found at run time.
function(wendrake_add_wine_program name)
  target_link_options(${name} PRIVATE -static)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/include
                             ${CMAKE_SOURCE_DIR}/tests)
endfunction()

enable_testing()
set(wine_manifest "")
foreach(name IN LISTS WENDRAKE_HOST_TESTS)
  set(test ${CMAKE_SOURCE_DIR}/tests/${name}.cpp)
  if(name IN_LIST WENDRAKE_WINE_EXCLUDED_TESTS)
    continue()
  endif()
  add_executable(${name} ${test})
  target_link_libraries(${name} PRIVATE wendrake gtest gtest_main)
  wendrake_add_wine_program(${name})
  # setenv/unsetenv for the tests that switch the time zone. The mingw-w64
  # GCC 12 reports -Warray-bounds, -Wrestrict and -Wstringop-overread inside
  # libstdc++'s inlined vector and string copies of test code at -O2: false
  # positives that the Linux build of the same code does not show. The
  # library itself keeps every warning.
  target_compile_options(${name} PRIVATE -include ${CMAKE_SOURCE_DIR}/tools/windows/posix_env.h
                         -Wno-array-bounds -Wno-restrict -Wno-stringop-overread)
  # The symbol-table case reads this path; it is filtered out below.
  target_compile_definitions(${name} PRIVATE WENDRAKE_LIBRARY_PATH="$<TARGET_FILE_NAME:wendrake>")
  set(args "")
  if(DEFINED WENDRAKE_WINE_TEST_FILTER_${name})
    set(args "--gtest_filter=${WENDRAKE_WINE_TEST_FILTER_${name}}")
  endif()
  add_test(NAME ${name} COMMAND ${name} ${args})
  string(APPEND wine_manifest "$<TARGET_FILE_NAME:${name}> ${args}\n")
  # An i686 program under an incomplete wine exits 0 without running: only
  # GoogleTest's pass count proves that the tests ran.
  set_tests_properties(${name} PROPERTIES
    PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [0-9]+ tests?\\."
    FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]"
    ENVIRONMENT "WINEDEBUG=-all;WENDRAKE_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endforeach()

# The test executables and their arguments, one per line, for
# tools/windows/run_wine_tests.sh.
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/wine_tests.txt CONTENT "${wine_manifest}")

# The public header as strict C99 under the Windows compilers: its layout
# checks run in every translation unit that includes it.
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/c99_host.c)
  add_executable(c99_host ${CMAKE_SOURCE_DIR}/tests/c99_host.c)
  target_link_libraries(c99_host PRIVATE wendrake)
  set_target_properties(c99_host PROPERTIES C_STANDARD 99 C_STANDARD_REQUIRED ON C_EXTENSIONS OFF)
  target_compile_options(c99_host PRIVATE -std=c99 -pedantic -Wall -Wextra -Werror)
  wendrake_add_wine_program(c99_host)
  add_test(NAME c99_host COMMAND c99_host)
  set_tests_properties(c99_host PROPERTIES ENVIRONMENT "WINEDEBUG=-all")
endif()

# The table library is built for Linux only, but its header, whose layout is
# pinned for 32- and 64-bit hosts, compiles as strict C99 under the Windows
# compilers too: its C example is compiled (not linked) to check that.
add_library(table_header_c99 OBJECT ${CMAKE_SOURCE_DIR}/examples/table_summary.c)
target_include_directories(table_header_c99 PRIVATE ${CMAKE_SOURCE_DIR}/include)
set_target_properties(table_header_c99 PROPERTIES C_STANDARD 99 C_STANDARD_REQUIRED ON C_EXTENSIONS OFF)
target_compile_options(table_header_c99 PRIVATE -pedantic -Wall -Wextra -Werror)

# A host that loads the DLL at run time; tools/windows/run_wine_tests.sh
# compares its item dump with the same program built for Linux.
add_executable(host_win ${CMAKE_SOURCE_DIR}/tools/windows/host_win.c)
set_target_properties(host_win PROPERTIES C_STANDARD 99 C_STANDARD_REQUIRED ON C_EXTENSIONS OFF)
target_compile_options(host_win PRIVATE -pedantic -Wall -Wextra -Werror)
wendrake_add_wine_program(host_win)
