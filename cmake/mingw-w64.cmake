# Cross-compiling the engine for 64-bit Windows with Debian's MinGW-w64 compilers.
# The executable is linked statically so that it runs on a bare Windows without the
# compiler's runtime libraries.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOLVO_MINGW_TRIPLET x86_64-w64-mingw32)
# The posix thread model: the engine's helper threads synchronise with the standard library's
# mutexes and condition variables, which the win32 model lacks.
set(CMAKE_CXX_COMPILER ${TOLVO_MINGW_TRIPLET}-g++-posix)

set(CMAKE_FIND_ROOT_PATH /usr/${TOLVO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
