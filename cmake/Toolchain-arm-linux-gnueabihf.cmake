# 32-bit ARM Linux (ARMv7, hard-float VFP) with Debian's
# g++-arm-linux-gnueabihf: its own floating-point unit and calling
# conventions. Linked statically, for qemu-arm: frame-colours from the
# cross toolchain's own C library alone (the armhf preset); orbelune-render
# also from Debian's armhf libraries (armhf-render, TargetLibraries.cmake).
set(CROSS_TRIPLE arm-linux-gnueabihf)
set(CROSS_PROCESSOR armv7l)
set(CROSS_EMULATOR qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/CrossLinux.cmake)
