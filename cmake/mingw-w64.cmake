# Cross-compiling the engine for 64-bit Windows with Debian's MinGW-w64 compilers, linked
# statically so that it runs on a bare Windows. The posix thread model gives the standard
# library's mutexes and condition variables, which the helper threads of the search wait on.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOLVO_CROSS_TRIPLET x86_64-w64-mingw32)
set(TOLVO_CROSS_COMPILER_SUFFIX -posix)
include(${CMAKE_CURRENT_LIST_DIR}/gcc-cross.cmake)

# GCC cannot realign the Windows stack for the 32-byte vectors of the network's AVX2 kernels:
# the assembler turns every aligned vector move into an unaligned one, at compile time and at
# the link, where link-time optimisation generates the code.
set(CMAKE_C_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
set(CMAKE_CXX_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${CMAKE_EXE_LINKER_FLAGS_INIT} -Wa,-muse-unaligned-vector-move")
