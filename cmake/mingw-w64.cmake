# Cross-compiling the engine for 64-bit Windows with Debian's MinGW-w64 compilers, linked
# statically so that it runs on a bare Windows. The posix thread model gives the standard
# library's mutexes and condition variables, which the helper threads of the search wait on.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOLVO_CROSS_TRIPLET x86_64-w64-mingw32)
set(TOLVO_CROSS_COMPILER_SUFFIX -posix)
include(${CMAKE_CURRENT_LIST_DIR}/gcc-cross.cmake)
