# 32-bit x86 Linux (Debian g++-i686-linux-gnu), run under qemu-i386.
set(SRTX_TRIPLE i686-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(SRTX_QEMU qemu-i386)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
