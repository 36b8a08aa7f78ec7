# Every build option of the project, in one place (the optional parts are in
# cmake/parts.cmake).
option(WENDRAKE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(WENDRAKE_TSAN "Build with ThreadSanitizer" OFF)
option(WENDRAKE_FUZZ "Build the libFuzzer targets under fuzz/ (needs clang)" OFF)
set(WENDRAKE_FUZZ_SANITIZERS "address,undefined" CACHE STRING
    "Sanitizers the fuzz targets and their copy of the library are built with (may be empty)")
option(WENDRAKE_FUZZ_COVERAGE "Add source-based coverage to the fuzz build (see fuzz/coverage.sh)" OFF)
set(WENDRAKE_PYTHON "" CACHE FILEPATH
    "Interpreter for the Python tests (needs pytest, pandas, matplotlib, dask, distributed); \
empty: the first python3 on PATH that has them (cmake/python_interpreter.cmake)")
set(WENDRAKE_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH
    "GoogleTest sources, built for the Windows cross builds")
set(WENDRAKE_WINE_EXCLUDED_TESTS "" CACHE STRING "End-to-end tests left out of the Windows build")
