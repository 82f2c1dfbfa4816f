# Builds for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix:
# GoogleTest needs the posix thread model) and runs what it builds under
# Wine, tests and test discovery alike:
#   cmake -B build/windows -DCMAKE_TOOLCHAIN_FILE=toolchains/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${triplet}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Wine's own debugging channels say nothing unless asked.
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEDEBUG=-all wine)
