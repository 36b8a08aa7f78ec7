# The map module, wendrake_map.so: everything of `wendrake map` that needs
# GDAL, loaded by the tool with dlopen only when that command runs, so the
# other commands start without GDAL's hundred-odd libraries. It exports
# wendrake_map_write alone (map_module_abi.h). The tool looks for it beside
# itself (the build tree puts both in this folder), then in
# <prefix>/<libdir>/wendrake, where the map component (the wendrake-map
# package) installs it.
find_package(GDAL REQUIRED)  # found by the top-level CMakeLists.txt
find_package(SQLite3 REQUIRED)  # GDAL's own dependency: the GeoPackage's spatial index

add_library(wendrake_map MODULE map/map_export.cpp map/map_module_entry.cpp map/qgis_styles.cpp
  map/gpkg_spatial_index.cpp map/packed_rtree.cpp map/spill_array.cpp view/event_kinds.cpp view/kpi_bins.cpp)
target_include_directories(wendrake_map PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(wendrake_map PRIVATE GDAL::GDAL SQLite::SQLite3 fmt::fmt)
set_target_properties(wendrake_map PROPERTIES
  PREFIX ""
  OUTPUT_NAME wendrake_map
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON
  LINK_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/map/map_module.map)
target_link_options(wendrake_map PRIVATE -Wl,--version-script=${CMAKE_CURRENT_SOURCE_DIR}/map/map_module.map)
# A sanitizer's runtime comes with the executable, so a sanitized module has
# undefined symbols by design.
if(NOT WENDRAKE_SANITIZE AND NOT WENDRAKE_TSAN)
  target_link_options(wendrake_map PRIVATE -Wl,--no-undefined)
endif()

install(TARGETS wendrake_map LIBRARY DESTINATION ${WENDRAKE_MAP_MODULE_DIR} COMPONENT map)
