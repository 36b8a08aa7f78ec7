# Cross build for 32-bit Windows with mingw-w64:
#   cmake --preset mingw-i686   (or -DCMAKE_TOOLCHAIN_FILE=this file)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(WENDRAKE_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Double arithmetic in SSE2 registers, as on x86_64: with the x87 unit's
# extended precision a scaled value such as "-85.3" x 1000 can round to the
# other side of an integer before truncation, and the 32-bit DLL would then
# report parameter values that differ from the 64-bit builds.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
