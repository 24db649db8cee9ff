# SPDX-License-Identifier: MIT
# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads, for std::thread).
# Programs are linked statically, so that they need no DLL beside the system's; tests run
# through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TAVIK_MINGW x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${TAVIK_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVIK_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVIK_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TAVIK_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Debian's wine64 package keeps its loader out of PATH.
find_program(TAVIK_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TAVIK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TAVIK_WINE})
endif()
