# 64-bit RISC-V Linux with Debian's g++-riscv64-linux-gnu: another code
# generator for the same double operations (and fused multiply-adds of its
# own, unless told not to). frame-colours alone, static, for qemu-riscv64.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR riscv64)
set(CMAKE_C_COMPILER riscv64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER riscv64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE riscv64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-riscv64)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
