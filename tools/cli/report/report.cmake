# The report page's template, script and style with Leaflet (Debian's
# libjs-leaflet), built into the tool as report_assets.cpp so that the page it
# writes works offline.
# The top-level CMakeLists.txt found WENDRAKE_LEAFLET_JS and _CSS.
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
          "-DASSETS=${report_assets_arg}" -P ${report_dir}/report_assets.cmake
  DEPENDS ${report_assets_files} ${report_dir}/report_assets.cmake
  COMMENT "Building the report page's assets into the tool"
  VERBATIM)
