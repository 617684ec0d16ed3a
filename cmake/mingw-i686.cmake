# Cross-compiling the Windows build we ship: 32-bit console program,
# MinGW-w64, static.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(RUD_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Floating point in SSE2 registers, IEEE double precision as on every other
# build. With the default x87 unit a value can stay in an 80-bit register
# while its twin is rounded to 64 bits in memory, and two equal file times
# then compare unequal: the program would be copied again at every run.
# Every processor that runs Windows 8 or later has SSE2.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
