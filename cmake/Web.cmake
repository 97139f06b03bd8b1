# The renderer for the web page, built with Debian's emscripten: two
# modules, orbelune-web-simd.{js,wasm} with the WebAssembly SIMD kernels and
# orbelune-web.{js,wasm} without them, for browsers that lack SIMD. Each is
# a classic script defining OrbeluneModule(), for the page's workers (and
# node, for the tests).
set(web_options
  -sMODULARIZE=1 -sEXPORT_NAME=OrbeluneModule -sENVIRONMENT=web,worker,node
  -sALLOW_MEMORY_GROWTH=1 -sTOTAL_STACK=1048576
  "-sEXPORTED_RUNTIME_METHODS=['cwrap','UTF8ToString']")

add_executable(orbelune-web web/WebMain.cpp march/kernels/Dispatch.cpp)
target_link_libraries(orbelune-web PRIVATE orbelune_march)
target_link_options(orbelune-web PRIVATE ${web_options})

add_library(orbelune_kernels_wasm_simd OBJECT march/kernels/WasmSimd.cpp)
target_compile_options(orbelune_kernels_wasm_simd PRIVATE -msimd128)
target_link_libraries(orbelune_kernels_wasm_simd PRIVATE orbelune_scene)

add_executable(orbelune-web-simd web/WebMain.cpp march/kernels/Dispatch.cpp
               $<TARGET_OBJECTS:orbelune_kernels_wasm_simd>)
target_compile_definitions(orbelune-web-simd PRIVATE ORBELUNE_KERNELS_WASM_SIMD)
target_link_libraries(orbelune-web-simd PRIVATE orbelune_march)
target_link_options(orbelune-web-simd PRIVATE ${web_options})

# The page, a folder of static files for any host: the modules, the page's
# files and the golden digest it compares with.
set(site ${CMAKE_BINARY_DIR}/site)
set_target_properties(orbelune-web orbelune-web-simd PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${site})
foreach(file index.html orders.js png_text.js page.js worker.js)
  configure_file(${PROJECT_SOURCE_DIR}/web/${file} ${site}/${file} COPYONLY)
endforeach()
set(golden_file ${PROJECT_SOURCE_DIR}/tools/GoldenDigest.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${golden_file})
file(STRINGS ${golden_file} golden REGEX "\"[0-9a-f]+\"")
string(REGEX MATCH "\"[0-9a-f]+\"" golden "${golden}")
string(REPLACE "\"" "" golden "${golden}")
file(WRITE ${CMAKE_BINARY_DIR}/golden.js.new
     "// The image's digest, as tools/GoldenDigest.h holds it.\nconst kGoldenDigest = '${golden}';\n")
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
