# Cross-compiles for 32-bit x86 Linux with Debian's g++-i686-linux-gnu; the
# programs run here under qemu-user, and those the tests start themselves
# run directly on an x86-64 kernel:
#
#   cmake -B build -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/i686-linux-gnu.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TREMLOX_CROSS_TRIPLE i686-linux-gnu)
set(TREMLOX_CROSS_QEMU qemu-i386)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross-linux.cmake)
