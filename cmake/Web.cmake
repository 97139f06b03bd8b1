# The renderer for the web page, built with Debian's emscripten: two
# modules, orbelune-web-simd.{js,wasm} with the WebAssembly SIMD kernels and
# orbelune-web.{js,wasm} without them, for browsers that lack SIMD. Each is
# a classic script defining OrbeluneModule(), for the page's workers (and
# node, for the tests).
set(web_options
  -sMODULARIZE=1 -sEXPORT_NAME=OrbeluneModule -sENVIRONMENT=web,worker,node
  -sALLOW_MEMORY_GROWTH=1 -sTOTAL_STACK=1048576
  "-sEXPORTED_RUNTIME_METHODS=['cwrap','UTF8ToString']")

add_executable(orbelune-web web/WebMain.cpp march/kernels/Dispatch.cpp turn/TurnViews.cpp)
target_link_libraries(orbelune-web PRIVATE orbelune_march)
target_link_options(orbelune-web PRIVATE ${web_options})

add_library(orbelune_kernels_wasm_simd OBJECT march/kernels/WasmSimd.cpp)
target_compile_options(orbelune_kernels_wasm_simd PRIVATE -msimd128)
target_link_libraries(orbelune_kernels_wasm_simd PRIVATE orbelune_scene)

add_executable(orbelune-web-simd web/WebMain.cpp march/kernels/Dispatch.cpp turn/TurnViews.cpp
               $<TARGET_OBJECTS:orbelune_kernels_wasm_simd>)
target_compile_definitions(orbelune-web-simd PRIVATE ORBELUNE_KERNELS_WASM_SIMD)
target_link_libraries(orbelune-web-simd PRIVATE orbelune_march)
target_link_options(orbelune-web-simd PRIVATE ${web_options})

# The page, a folder of static files for any host: the modules, the page's
# files and the golden digest it compares with.
set(site ${CMAKE_BINARY_DIR}/site)
set_target_properties(orbelune-web orbelune-web-simd PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${site})

# "Save turn": orbelune-turn.{js,wasm}, the turn's writer over libwebp,
# which the page loads only when a turn is saved, into a worker of its own;
# the renderer modules stay a quarter of its size. libwebp is compiled from
# Debian's source, which scripts/setup.sh fetches; without it the page is
# built without the module, and its turn says the file is missing.
set(ORBELUNE_LIBWEBP_SOURCE ${PROJECT_SOURCE_DIR}/build/src/libwebp CACHE PATH
    "libwebp's source, as scripts/setup.sh fetches it from Debian")
set(webp ${ORBELUNE_LIBWEBP_SOURCE})
if(EXISTS ${webp}/.version AND EXISTS ${webp}/src/mux/anim_encode.c)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${webp}/.version)
  enable_language(C)
  # The plain C of each part the animation encoder calls (lossless encoding,
  # the decoder it checks sub-frames with, the muxer); the SSE2 and NEON
  # files compile to nothing without their instruction sets. No threads.
  file(GLOB webp_sources ${webp}/sharpyuv/*.c ${webp}/src/dec/*.c ${webp}/src/demux/*.c
       ${webp}/src/dsp/*.c ${webp}/src/enc/*.c ${webp}/src/mux/*.c ${webp}/src/utils/*.c)
  add_library(orbelune_webp STATIC ${webp_sources})
  # Its sources include "src/..." from the top; ours <webp/...> as installed.
  target_include_directories(orbelune_webp SYSTEM PUBLIC ${webp}/src PRIVATE ${webp})
  target_compile_options(orbelune_webp PRIVATE -w)  # not our code to tidy
  include(cmake/Turn.cmake)
  add_executable(orbelune-turn web/TurnMain.cpp)
  target_link_libraries(orbelune-turn PRIVATE orbelune_turn)
  target_link_options(orbelune-turn PRIVATE
    -sMODULARIZE=1 -sEXPORT_NAME=OrbeluneTurnModule -sENVIRONMENT=web,worker,node
    -sALLOW_MEMORY_GROWTH=1 "-sEXPORTED_RUNTIME_METHODS=['cwrap','UTF8ToString']")
  set_target_properties(orbelune-turn PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${site})
  file(READ ${webp}/.version webp_version)
  string(STRIP "${webp_version}" webp_version)
  message(STATUS "The page's turn: libwebp ${webp_version}, Debian's source in ${webp}")
else()
  message(STATUS "The page's turn: no libwebp source in ${webp} (scripts/setup.sh web fetches "
                 "it); orbelune-turn is not built")
  file(REMOVE ${site}/orbelune-turn.js ${site}/orbelune-turn.wasm)
endif()
foreach(file index.html orders.js png_text.js page.js shared.js loading.js view.js jobs.js
             saving.js controls.js play.js worker.js turn.js turn_worker.js)
  configure_file(${PROJECT_SOURCE_DIR}/web/${file} ${site}/${file} COPYONLY)
endforeach()
file(WRITE ${CMAKE_BINARY_DIR}/golden.js.new
     "// The image's digest, as digest/golden-image.sha256 holds it.\n"
     "export const kGoldenDigest = '${ORBELUNE_GOLDEN_DIGEST}';\n")
configure_file(${CMAKE_BINARY_DIR}/golden.js.new ${site}/golden.js COPYONLY)

# The render pass split into parts under node, as render_bench splits the
# native one (bench/web_parts.js); not part of the page.
add_executable(orbelune-web-parts bench/WebParts.cpp march/kernels/Dispatch.cpp
               $<TARGET_OBJECTS:orbelune_kernels_wasm_simd>)
target_compile_definitions(orbelune-web-parts PRIVATE ORBELUNE_KERNELS_WASM_SIMD)
target_link_libraries(orbelune-web-parts PRIVATE orbelune_march)
target_link_options(orbelune-web-parts PRIVATE ${web_options})
set_target_properties(orbelune-web-parts PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                      ${CMAKE_BINARY_DIR}/bench)
