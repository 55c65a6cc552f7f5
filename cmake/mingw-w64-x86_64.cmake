# Cross-builds opjoin for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The posix flavour gives the C++ standard library its threads. The runtime is linked
# statically, so that opjoin.exe needs no DLL beyond those Windows ships.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

list(APPEND CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Windows headers: no min/max macros, and only the common part of <windows.h>; Unicode names.
set(CMAKE_CXX_FLAGS_INIT "-DNOMINMAX -DWIN32_LEAN_AND_MEAN -DUNICODE -D_UNICODE")

# Cross-built programs (the unit tests) run under wine.
find_program(OPJOIN_WINE NAMES wine)
if(OPJOIN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${OPJOIN_WINE})
endif()
