# 32-bit ARM Linux (ARMv7, hard-float VFP) with Debian's
# g++-arm-linux-gnueabihf: its own floating-point unit and calling
# conventions. Linked statically, for qemu-arm: frame-colours from the
# cross toolchain's own C library alone (the armhf preset); orbelune-render
# also from Debian's armhf libraries (armhf-render, TargetLibraries.cmake).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
include(${CMAKE_CURRENT_LIST_DIR}/TargetLibraries.cmake)
