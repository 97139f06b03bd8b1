# The layers and the direction of their dependencies, lowest first:
#   platform/  the Win32 calls, memory device contexts and memory the
#              programs use; nothing of ours
#   scene/     the image's definition, its numbers and packed colour;
#              nothing of ours, not even the platform's types
#   march/     the fast march and the frame entry; the definition, and of
#              the platform its large pages (no Windows type: a check below)
#   render/    the draw entry and the frame store; the march, the
#              definition, the platform
#   shell/     the window program's WinMain and WndProc; the draw entry and
#              the platform
#   text/      the text of a view, and user text shown safely in a message:
#              what the tools and the web module both read and write; the
#              definition
#   turn/      a turn's views, and its file (a lossless animated WebP)
#              written and read back; the definition and the text of a view
#   files/     outputs that never clobber, inputs read as streams; nothing
#              of ours
#   png/       the PNG codec; nothing of ours
#   digest/    the image's fingerprint and its golden value; nothing of ours
#   maps/      maps of where the fast march's work goes; the march and the
#              definition
#   command/   orbelune-render: its command line and one file per mode; all
#              of the above but the shell and the page
#   web/       the web page's module; the march, the definition, the text
#              of a view and a turn
# (tests/ and bench/ may take anything.) Each layer is a library that links
# only the layers below it, so a call the wrong way fails to link. An
# #include the wrong way would still compile (every header is reachable
# from the source root), so configure refuses it here.
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

# Of the platform, the march takes its large pages alone: the Win32 names
# stay above it.
file(GLOB_RECURSE march_sources ${PROJECT_SOURCE_DIR}/march/*.h ${PROJECT_SOURCE_DIR}/march/*.cpp)
foreach(source ${march_sources})
  file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"platform/")
  foreach(line ${includes})
    if(NOT line MATCHES "platform/LargePages.h")
      message(FATAL_ERROR "${source}: ${line}: the march takes nothing of the platform but its "
                          "large pages (platform/LargePages.h)")
    endif()
  endforeach()
endforeach()
orbelune_layer_includes(platform platform)
orbelune_layer_includes(scene scene)
orbelune_layer_includes(march march scene platform)
orbelune_layer_includes(render render march scene platform)
orbelune_layer_includes(shell shell render platform)
orbelune_layer_includes(text text scene)
orbelune_layer_includes(turn turn text scene)
orbelune_layer_includes(files files)
orbelune_layer_includes(png png)
orbelune_layer_includes(digest digest)
orbelune_layer_includes(maps maps march scene platform)
orbelune_layer_includes(command command files png digest maps turn text render march scene
                        platform)
orbelune_layer_includes(web web turn text march scene)
