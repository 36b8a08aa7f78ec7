# The optional parts of the build. The two libraries need nothing but a C++
# compiler and CMake; every other part is built where what it needs is found.
# Each part's option takes AUTO (the default: built when its dependencies are
# found, left out otherwise), ON (built; a missing dependency is an error) or
# OFF. Configure ends with one line saying what was left out and why.
#
#   wendrake_part(PART FOUND REASON) decides one part: sets WENDRAKE_WITH_PART
#   (TRUE or FALSE) in the caller's scope; REASON says what is missing when
#   FOUND is false.
#   wendrake_parts_summary() prints the line.

set(WENDRAKE_PARTS TESTS TOOLS MAP REPORT PYTHON BENCH EXAMPLES)
set(_wendrake_part_help_TESTS "the test suite (GoogleTest, a python3)")
set(_wendrake_part_help_TOOLS "the wendrake command line tool (CLI11, fmt)")
set(_wendrake_part_help_MAP "the tool's map module (GDAL)")
set(_wendrake_part_help_REPORT "the tool's report page (Leaflet, libjs-leaflet)")
set(_wendrake_part_help_PYTHON "the Python package's install and tests (python3)")
set(_wendrake_part_help_BENCH "the benchmarks")
set(_wendrake_part_help_EXAMPLES "the example hosts")
foreach(part IN LISTS WENDRAKE_PARTS)
  set(WENDRAKE_BUILD_${part} AUTO CACHE STRING "Build ${_wendrake_part_help_${part}}: AUTO, ON or OFF")
  set_property(CACHE WENDRAKE_BUILD_${part} PROPERTY STRINGS AUTO ON OFF)
endforeach()
set_property(GLOBAL PROPERTY WENDRAKE_LEFT_OUT "")

function(wendrake_part part found reason)
  string(TOUPPER "${WENDRAKE_BUILD_${part}}" wanted)
  string(TOLOWER "${part}" name)
  if(NOT wanted MATCHES "^(AUTO|ON|OFF|TRUE|FALSE|YES|NO|1|0)$")
    message(FATAL_ERROR "WENDRAKE_BUILD_${part}=${WENDRAKE_BUILD_${part}}: expected AUTO, ON or OFF")
  endif()
  if(wanted MATCHES "^(OFF|FALSE|NO|0)$")
    set(WENDRAKE_WITH_${part} FALSE PARENT_SCOPE)
    set_property(GLOBAL APPEND PROPERTY WENDRAKE_LEFT_OUT "${name} (WENDRAKE_BUILD_${part}=OFF)")
  elseif(found)
    set(WENDRAKE_WITH_${part} TRUE PARENT_SCOPE)
  elseif(wanted STREQUAL "AUTO")
    set(WENDRAKE_WITH_${part} FALSE PARENT_SCOPE)
    set_property(GLOBAL APPEND PROPERTY WENDRAKE_LEFT_OUT "${name} (${reason})")
  else()
    message(FATAL_ERROR "WENDRAKE_BUILD_${part}=ON, but ${_wendrake_part_help_${part}} "
                        "cannot be built: ${reason}")
  endif()
endfunction()

function(wendrake_parts_summary)
  get_property(left_out GLOBAL PROPERTY WENDRAKE_LEFT_OUT)
  if(left_out)
    list(JOIN left_out ", " text)
    message(STATUS "wendrake: left out: ${text}")
  else()
    message(STATUS "wendrake: every part is built")
  endif()
endfunction()
