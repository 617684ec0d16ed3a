# Cross-compiling the Windows build we ship: 32-bit console program,
# MinGW-w64, static.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(RUD_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
