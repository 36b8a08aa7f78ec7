# Shared part of the mingw-w64 toolchain files: the including file sets
# WENDRAKE_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread-model compilers: their libstdc++ has std::mutex and
# std::thread, which GoogleTest needs on Windows (the library itself starts
# no threads). Debian's plain triple names are alternatives that default to
# the win32 model, so the suffixed names are asked for first.
find_program(CMAKE_C_COMPILER NAMES ${WENDRAKE_MINGW_TRIPLE}-gcc-posix ${WENDRAKE_MINGW_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${WENDRAKE_MINGW_TRIPLE}-g++-posix ${WENDRAKE_MINGW_TRIPLE}-g++ REQUIRED)
set(CMAKE_RC_COMPILER ${WENDRAKE_MINGW_TRIPLE}-windres)

# Headers and libraries come from the target's sysroot only; build tools
# from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${WENDRAKE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test executables run under wine; Debian's wine launcher picks the 32- or
# 64-bit loader from the executable itself.
find_program(WENDRAKE_WINE wine)
if(WENDRAKE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WENDRAKE_WINE})
endif()
