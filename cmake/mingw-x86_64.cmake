# Cross-compiling the 64-bit Windows build: the same sources as the shipped
# i686 program, built so that they can be tested on machines that run no
# 32-bit code. MinGW-w64, static, console.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(RUD_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Wine's 64-bit loader itself: Debian's `wine` wrapper starts the 32-bit
# loader whenever wine32 is installed, and that fails on a kernel without
# 32-bit support.
find_program(RUD_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib/x86_64-linux-gnu/wine
             NO_CMAKE_FIND_ROOT_PATH)
if(RUD_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${RUD_WINE64})
endif()
