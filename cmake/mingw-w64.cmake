# SPDX-License-Identifier: MIT
# Cross build for 64-bit Windows with Debian's mingw-w64 (the POSIX-threads flavour, which has
# std::thread). Used by scripts/test-windows.sh:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# The programs are linked with libgcc, libstdc++ and winpthread inside them, so Wine runs them
# without looking for the compiler's DLLs. ctest runs every test .exe through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triplet}-windres)
set(CMAKE_AR ${mingw_triplet}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${mingw_triplet}-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# zlib's libz.a, not the import library of a zlib1.dll that Windows lacks.
set(ZLIB_USE_STATIC_LIBS ON)

find_program(BEXEN_WINE NAMES wine wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(BEXEN_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${BEXEN_WINE})
endif()
