# 32-bit ARM Linux (ARMv7, hard-float VFP) with Debian's
# g++-arm-linux-gnueabihf: its own floating-point unit and calling
# conventions. frame-colours alone, static, for qemu-arm.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
