# 64-bit ARM Linux (Debian g++-aarch64-linux-gnu), run under qemu-aarch64.
set(SRTX_TRIPLE aarch64-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(SRTX_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
