# Cross-compiling the 64-bit Windows build: the same sources as the shipped
# i686 program, built so that they can be tested on machines that run no
# 32-bit code. MinGW-w64, static, console.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
# The posix thread model gives GoogleTest the standard threading it expects.
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Wine's 64-bit loader itself: Debian's `wine` wrapper starts the 32-bit
# loader whenever wine32 is installed, and that fails on a kernel without
# 32-bit support.
find_program(RUD_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib/x86_64-linux-gnu/wine
             NO_CMAKE_FIND_ROOT_PATH)
if(RUD_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${RUD_WINE64})
endif()
