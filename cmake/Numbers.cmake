# Compiler settings that every build of Orbelune shares. The image must come
# out bit-identical everywhere, so floating point is pinned down here:
# no fused multiply-adds behind our back, no fast-math, and SSE2 rather than
# x87 on 32-bit x86 (x87 rounds to other bits).
add_compile_options(-Wall -Wextra -ffp-contract=off -fno-fast-math)
# GCC 12's auto-vectorizer (SLP) was seen to drop the rounding to float
# between two double operations (x3 * p / 2 with x3 and p kept in double),
# which changes the image's bits. Hand-written vector code is unaffected.
# Clang (emscripten's compiler) names its two vectorizers apart.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_compile_options(-fno-vectorize -fno-slp-vectorize)
else()
  add_compile_options(-fno-tree-vectorize)
endif()
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$" AND NOT EMSCRIPTEN)  # emscripten calls itself x86
  add_compile_options(-msse2 -mfpmath=sse)
endif()

option(ORBELUNE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(ORBELUNE_SANITIZE)
  set(sanitizers -fsanitize=address,undefined,float-cast-overflow,float-divide-by-zero
                 -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${sanitizers})
  add_link_options(${sanitizers})
endif()
