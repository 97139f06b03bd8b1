# Cross-building the headless renderer for 64-bit ARM Linux with Debian's
# g++-aarch64-linux-gnu, against Debian's arm64 libraries installed through
# multiarch (libpng-dev:arm64, libssl-dev:arm64).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# Run what it builds under qemu where CMake wants to.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /)
# Libraries found through pkg-config must be the arm64 ones, not the host's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
# The C++ runtime of the cross compiler lives apart from Debian's arm64
# libraries: link it in, so that qemu finds everything under /.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libstdc++ -static-libgcc")
