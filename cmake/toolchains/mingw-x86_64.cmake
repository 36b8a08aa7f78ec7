# Cross build for 64-bit Windows with mingw-w64:
#   cmake --preset mingw-x86_64   (or -DCMAKE_TOOLCHAIN_FILE=this file)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(WENDRAKE_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
