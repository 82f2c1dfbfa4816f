# Builds with one of Debian's cross compilers, g++-TRIPLET, against its
# libraries under /usr/TRIPLET:
#   cmake -B build/aarch64 -DCMAKE_TOOLCHAIN_FILE=toolchains/debian-cross.cmake \
#     -DQUORVANE_TRIPLET=aarch64-linux-gnu
# An amd64 kernel runs i686 programs itself, so those are linked to find
# their loader and libraries there; the others run under qemu-user, which
# tests and test discovery go through.
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

if(CMAKE_SYSTEM_PROCESSOR MATCHES "^i[3-6]86$")
  set(CMAKE_EXE_LINKER_FLAGS_INIT
      "-Wl,--dynamic-linker=${libraries}/lib/ld-linux.so.2 -Wl,-rpath,${libraries}/lib")
else()
  # qemu-user finds the loader under -L; the libraries' own folder goes
  # first, so that no host-installed copy of a foreign glibc is mixed in.
  set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${CMAKE_SYSTEM_PROCESSOR} -L ${libraries} -E
                                    LD_LIBRARY_PATH=${libraries}/lib)
endif()
