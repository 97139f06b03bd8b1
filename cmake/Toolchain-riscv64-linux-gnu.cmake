# 64-bit RISC-V Linux with Debian's g++-riscv64-linux-gnu: another code
# generator for the same double operations (and fused multiply-adds of its
# own, unless told not to). frame-colours alone, static, for qemu-riscv64.
set(CROSS_TRIPLE riscv64-linux-gnu)
set(CROSS_PROCESSOR riscv64)
set(CROSS_EMULATOR qemu-riscv64)
include(${CMAKE_CURRENT_LIST_DIR}/CrossLinux.cmake)
