# Builds with one of Debian's cross compilers, g++-TRIPLET, against its
# libraries under /usr/TRIPLET:
#   cmake -B build/aarch64 -DCMAKE_TOOLCHAIN_FILE=toolchains/debian-cross.cmake \
#     -DQUORVANE_TRIPLET=aarch64-linux-gnu
if(NOT QUORVANE_TRIPLET)
  message(FATAL_ERROR "set QUORVANE_TRIPLET, such as aarch64-linux-gnu")
endif()
# Compiler checks read this file again in a project of their own.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUORVANE_TRIPLET)

set(CMAKE_SYSTEM_NAME Linux)
string(REGEX MATCH "^[^-]+" CMAKE_SYSTEM_PROCESSOR "${QUORVANE_TRIPLET}")
set(CMAKE_C_COMPILER ${QUORVANE_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${QUORVANE_TRIPLET}-g++)
set(libraries /usr/${QUORVANE_TRIPLET})
set(CMAKE_FIND_ROOT_PATH ${libraries})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every foreign build runs under qemu-user, which tests and test discovery go
# through, even where the kernel could run the program itself: an amd64
# kernel runs i386 programs only when built to. qemu finds the loader under
# -L; the libraries' own folder goes first, so that no host-installed copy of
# a foreign glibc is mixed in.
string(REGEX REPLACE "^i[3-6]86$" "i386" qemu "${CMAKE_SYSTEM_PROCESSOR}")
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${qemu} -L ${libraries} -E LD_LIBRARY_PATH=${libraries}/lib)
