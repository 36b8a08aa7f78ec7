# The public header carries the version as macros for C hosts; configure stops
# when they differ from the VERSION file, so a bump cannot miss the header.
file(STRINGS ${PROJECT_SOURCE_DIR}/include/wendrake/wendrake.h version_lines
     REGEX "^#define WENDRAKE_VERSION_(MAJOR|MINOR|PATCH) ")
set(header_version "")
foreach(part MAJOR MINOR PATCH)
  string(REGEX MATCH "WENDRAKE_VERSION_${part} ([0-9]+)" _ "${version_lines}")
  list(APPEND header_version "${CMAKE_MATCH_1}")
endforeach()
list(JOIN header_version "." header_version)
if(NOT header_version STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "include/wendrake/wendrake.h says version ${header_version}, "
                      "the VERSION file says ${PROJECT_VERSION}: make them agree")
endif()
