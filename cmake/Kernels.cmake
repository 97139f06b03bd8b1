# The vector kernel sets, each compiled only for targets with its
# instruction set; march/kernels/Dispatch.cpp is told which are built.
# WebAssembly's builds (cmake/Web.cmake) link a dispatch of their own into
# each module, as one module has SIMD and the other has not.
if(NOT EMSCRIPTEN)
  target_sources(orbelune_march PRIVATE march/kernels/Dispatch.cpp)
endif()

# A kernel set in an object library of its own (orbelune_kernels_NAME), so
# that a test can read the symbols the object defines, compiled with the
# given flags and linked into the march; Dispatch.cpp sees DEFINITION.
# Real code in the object, not the link-time optimizer's, so that its
# symbols can be read; its entry points are reached through pointers
# anyway, with nothing to inline across.
function(orbelune_kernel_set name source definition)
  add_library(orbelune_kernels_${name} OBJECT ${source})
  # Kernels never throw: without exceptions the object needs nothing of
  # their runtime, not even its personality routine.
  target_compile_options(orbelune_kernels_${name} PRIVATE -fno-exceptions ${ARGN})
  target_link_libraries(orbelune_kernels_${name} PRIVATE orbelune_scene)
  set_property(TARGET orbelune_kernels_${name} PROPERTY INTERPROCEDURAL_OPTIMIZATION OFF)
  target_sources(orbelune_march PRIVATE $<TARGET_OBJECTS:orbelune_kernels_${name}>)
  set_property(SOURCE march/kernels/Dispatch.cpp APPEND PROPERTY COMPILE_DEFINITIONS
               ${definition})
endfunction()

if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i.86|x86)$" AND NOT EMSCRIPTEN)
  # It runs only where the processor has AVX2 and FMA. -mstackrealign:
  # 32-bit Windows keeps the stack only 4-byte aligned, and AVX2 spills
  # want 32.
  set(avx2_flags -mavx2 -mfma)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    list(APPEND avx2_flags -mstackrealign)
  endif()
  orbelune_kernel_set(avx2 march/kernels/Avx2.cpp ORBELUNE_KERNELS_AVX2 ${avx2_flags})
endif()

# AVX-512 (F and VL, with FMA): 64-bit targets other than Windows only,
# where the compiler has it. (Windows and the 32-bit builds keep AVX2: the
# tests that hold their kernel sets under Wine and qemu cannot run it.)
include(CheckCXXCompilerFlag)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$" AND CMAKE_SIZEOF_VOID_P EQUAL 8
   AND NOT WIN32 AND NOT EMSCRIPTEN)
  check_cxx_compiler_flag("-mavx512f -mavx512vl -mfma" ORBELUNE_HAVE_AVX512)
  if(ORBELUNE_HAVE_AVX512)
    orbelune_kernel_set(avx512 march/kernels/Avx512.cpp ORBELUNE_KERNELS_AVX512
                        -mavx512f -mavx512vl -mavx2 -mfma)
  endif()
endif()
