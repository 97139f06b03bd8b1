# Cross-building the headless renderer for 64-bit ARM Linux with Debian's
# g++-aarch64-linux-gnu, linked statically against Debian's arm64 libraries
# as the set-up unpacks them (TargetLibraries.cmake), for qemu-aarch64.
set(CROSS_TRIPLE aarch64-linux-gnu)
set(CROSS_PROCESSOR aarch64)
set(CROSS_EMULATOR qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/CrossLinux.cmake)
