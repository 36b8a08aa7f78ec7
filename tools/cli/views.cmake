# The map and report commands: the map module that writes the geodata
# formats through GDAL (map_module.cmake; the tool itself never links GDAL),
# and the report page's template, script and style with Leaflet (Debian's
# libjs-leaflet) built into the tool so that the page it writes works offline.
include(map_module.cmake)
find_file(WENDRAKE_LEAFLET_JS leaflet.js PATHS /usr/share/javascript/leaflet NO_DEFAULT_PATH)
find_file(WENDRAKE_LEAFLET_CSS leaflet.css PATHS /usr/share/javascript/leaflet NO_DEFAULT_PATH)
if(NOT WENDRAKE_LEAFLET_JS OR NOT WENDRAKE_LEAFLET_CSS)
  message(FATAL_ERROR "the report page needs Leaflet: install libjs-leaflet "
                      "(or set WENDRAKE_LEAFLET_JS and WENDRAKE_LEAFLET_CSS)")
endif()

set(report_dir ${CMAKE_CURRENT_SOURCE_DIR}/report)
set(report_assets
  kReportHtml=${report_dir}/report.html
  kReportCss=${report_dir}/report.css
  kReportJs=${report_dir}/report.js
  kLeafletJs=${WENDRAKE_LEAFLET_JS}
  kLeafletCss=${WENDRAKE_LEAFLET_CSS})
set(report_assets_files ${report_dir}/report.html ${report_dir}/report.css ${report_dir}/report.js
    ${WENDRAKE_LEAFLET_JS} ${WENDRAKE_LEAFLET_CSS})
string(REPLACE ";" "|" report_assets_arg "${report_assets}")
add_custom_command(
  OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/report_assets.cpp
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${CMAKE_CURRENT_BINARY_DIR}/report_assets.cpp
          "-DASSETS=${report_assets_arg}" -P ${CMAKE_CURRENT_SOURCE_DIR}/report_assets.cmake
  DEPENDS ${report_assets_files} ${CMAKE_CURRENT_SOURCE_DIR}/report_assets.cmake
  COMMENT "Building the report page's assets into the tool"
  VERBATIM)

add_library(wendrake_views STATIC
  drive_view.cpp
  kpi_bins.cpp
  map_module.cpp
  report_page.cpp
  view_commands.cpp
  ${CMAKE_CURRENT_BINARY_DIR}/report_assets.cpp)
target_link_libraries(wendrake_views PUBLIC wendrake_cli_lib CLI11::CLI11 PRIVATE ${CMAKE_DL_LIBS})
target_compile_definitions(wendrake_views PRIVATE WENDRAKE_MAP_MODULE_RELATIVE="${WENDRAKE_MAP_MODULE_RELATIVE}")

if(WENDRAKE_BUILD_TESTS)
  add_executable(report_page_test report_page_test.cpp)
  target_link_libraries(report_page_test PRIVATE wendrake_views GTest::gtest GTest::gtest_main)
  gtest_discover_tests(report_page_test DISCOVERY_MODE PRE_TEST)

  # Debian's interpreter brings python3-selenium; without Chromium, its
  # driver or Selenium the browser test says so and passes as skipped.
  if(WENDRAKE_PYTHON_TESTS)
    set(views_python ${WENDRAKE_PYTHON_TESTS})
  else()
    set(views_python ${WENDRAKE_PYTHON_SCRIPTS})
  endif()
  set(views_env "WENDRAKE_CLI=$<TARGET_FILE:wendrake_cli>;WENDRAKE_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  add_test(NAME cli_map_formats COMMAND ${views_python} ${CMAKE_CURRENT_SOURCE_DIR}/tests/map_test.py)
  add_test(NAME cli_map_module COMMAND ${views_python} ${CMAKE_CURRENT_SOURCE_DIR}/tests/map_module_test.py)
  add_test(NAME cli_report_browser COMMAND ${views_python} ${CMAKE_CURRENT_SOURCE_DIR}/tests/report_browser_test.py)
  set_tests_properties(cli_map_formats cli_map_module cli_report_browser PROPERTIES ENVIRONMENT "${views_env}")
  set_tests_properties(cli_report_browser PROPERTIES TIMEOUT 300)
endif()
