# Cross-compiling the engine for 64-bit ARM Linux with Debian's aarch64 compilers, linked
# statically so that it runs on any ARM64 Linux, and here under qemu-aarch64, without the
# target's libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(TOLVO_CROSS_TRIPLET aarch64-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/gcc-cross.cmake)
