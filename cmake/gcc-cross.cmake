# What the cross toolchain files share: Debian's GCC cross compiler for TOLVO_CROSS_TRIPLET,
# the target's headers and libraries taken from its own folder only, and executables linked
# statically, so that they run without the compiler's runtime libraries on the target.
set(CMAKE_C_COMPILER ${TOLVO_CROSS_TRIPLET}-gcc${TOLVO_CROSS_COMPILER_SUFFIX})
set(CMAKE_CXX_COMPILER ${TOLVO_CROSS_TRIPLET}-g++${TOLVO_CROSS_COMPILER_SUFFIX})

set(CMAKE_FIND_ROOT_PATH /usr/${TOLVO_CROSS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
