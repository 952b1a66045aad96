# Cross-compiles for 64-bit big-endian Linux on IBM Z with Debian's
# g++-s390x-linux-gnu; the programs run here under qemu-user:
#
#   cmake -B build -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/s390x-linux-gnu.cmake
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(TREMLOX_CROSS_TRIPLE s390x-linux-gnu)
set(TREMLOX_CROSS_QEMU qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross-linux.cmake)
