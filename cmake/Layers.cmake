# The renderer's three layers and the direction of their dependencies:
#   scene/   the image's definition; depends on nothing of ours
#   march/   the fast march; depends on the definition only
#   render/  the draw entry and the frame store; depends on both
# Each layer is a library that links only the layers below it, so a call
# the wrong way fails to link. An #include the wrong way would still
# compile (every header is reachable from the source root), so configure
# refuses it here.
function(orbelune_layer_includes folder)
  set(allowed ${ARGN})
  file(GLOB_RECURSE sources RELATIVE ${PROJECT_SOURCE_DIR}
       ${PROJECT_SOURCE_DIR}/${folder}/*.h ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${PROJECT_SOURCE_DIR}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^/\"]+)/.*$" "\\1" top "${line}")
      if(NOT top IN_LIST allowed)
        message(FATAL_ERROR "${source} includes from ${top}/, which the ${folder}/ layer may not "
                            "depend on (it may use: ${allowed})")
      endif()
    endforeach()
  endforeach()
endfunction()

orbelune_layer_includes(scene scene platform)
orbelune_layer_includes(march march scene platform)
orbelune_layer_includes(render render march scene platform)
