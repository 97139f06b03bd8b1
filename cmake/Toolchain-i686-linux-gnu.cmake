# 32-bit x86 Linux with Debian's g++-i686-linux-gnu: the renderer's kernels
# as 32-bit SSE2 code, linked statically so that qemu-i386 runs it on any
# x86-64 or other machine, whether or not its kernel executes 32-bit code.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
