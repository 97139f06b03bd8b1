# What the cross toolchains for other processors share: Linux, Debian's
# cross g++ named by its triple (CROSS_TRIPLE, also the multiarch folder),
# the processor (CROSS_PROCESSOR), and everything linked statically, so
# that qemu (CROSS_EMULATOR) runs it with nothing of the target installed;
# orbelune-render also links the target's libraries where a preset gives
# them (TargetLibraries.cmake).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${CROSS_PROCESSOR})
set(CMAKE_C_COMPILER ${CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${CROSS_TRIPLE}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CROSS_EMULATOR})
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
include(${CMAKE_CURRENT_LIST_DIR}/TargetLibraries.cmake)
