# What both mingw-w64 toolchain files share; ZORBEL_MINGW_TRIPLET names the
# compiler family.
set(CMAKE_C_COMPILER ${ZORBEL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZORBEL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZORBEL_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZORBEL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained Zorbel.exe: the C and C++ runtimes and winpthreads are
# linked in, so the program needs no DLL but the system's.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
