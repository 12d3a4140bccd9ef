# Shared part of the Linux cross toolchains: set SRTX_TRIPLE and
# CMAKE_SYSTEM_PROCESSOR and the qemu-user name before including this file.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_CXX_COMPILER ${SRTX_TRIPLE}-g++)
set(CMAKE_C_COMPILER ${SRTX_TRIPLE}-gcc)
set(CMAKE_FIND_ROOT_PATH /usr/${SRTX_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# No binfmt_misc: a foreign program runs only when named to its emulator. The
# programs are linked statically, so no target root file system is needed.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/${SRTX_QEMU})
