# Big-endian IBM Z Linux (Debian g++-s390x-linux-gnu), run under qemu-s390x.
set(SRTX_TRIPLE s390x-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(SRTX_QEMU qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
