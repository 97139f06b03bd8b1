# 64-bit IBM Z Linux with Debian's g++-s390x-linux-gnu: a big-endian
# processor, where any byte-order assumption in the digest, the PNG or a
# reader of bytes shows. Linked statically, for qemu-s390x: frame-colours
# from the cross toolchain's own C library alone (the s390x preset);
# orbelune-render also from Debian's s390x libraries (the s390x-render
# preset, TargetLibraries.cmake).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(CMAKE_C_COMPILER s390x-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER s390x-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE s390x-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-s390x)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
include(${CMAKE_CURRENT_LIST_DIR}/TargetLibraries.cmake)
