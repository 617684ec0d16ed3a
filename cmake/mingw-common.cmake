# What both MinGW-w64 toolchain files share: a static console program built
# by the cross compiler for RUD_MINGW_TRIPLE, with libraries, headers and
# packages taken from that target's root only.
set(CMAKE_SYSTEM_NAME Windows)
# The posix thread model gives GoogleTest the standard threading it expects.
set(CMAKE_C_COMPILER ${RUD_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RUD_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${RUD_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${RUD_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
