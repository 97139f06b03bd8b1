# 64-bit IBM Z Linux with Debian's g++-s390x-linux-gnu: a big-endian
# processor, where any byte-order assumption in the digest, the PNG or a
# reader of bytes shows. Linked statically, for qemu-s390x: frame-colours
# from the cross toolchain's own C library alone (the s390x preset);
# orbelune-render also from Debian's s390x libraries (the s390x-render
# preset, TargetLibraries.cmake).
set(CROSS_TRIPLE s390x-linux-gnu)
set(CROSS_PROCESSOR s390x)
set(CROSS_EMULATOR qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/CrossLinux.cmake)
