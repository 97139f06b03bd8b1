# A turn as a lossless animated WebP, over Debian's libwebp: the views and
# the writer (libwebpmux's animation encoder), which the command and the
# page's module share.
if(EMSCRIPTEN)
  # The page's module: libwebp compiled from Debian's source (cmake/Web.cmake).
  set(turn_webp orbelune_webp)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(WEBP_MUX REQUIRED IMPORTED_TARGET libwebpmux)
  set(turn_webp PkgConfig::WEBP_MUX)
endif()
add_library(orbelune_turn STATIC
  turn/TurnMetadata.cpp
  turn/TurnViews.cpp
  turn/TurnWriter.cpp)
target_link_libraries(orbelune_turn PUBLIC orbelune_scene ${turn_webp})

# Reading a turn back (libwebpdemux's animation decoder): the command's
# --check, and its fuzz target.
if(NOT EMSCRIPTEN)
  pkg_check_modules(WEBP_DEMUX REQUIRED IMPORTED_TARGET libwebpdemux)
  add_library(orbelune_turn_reader STATIC turn/TurnReader.cpp)
  target_link_libraries(orbelune_turn_reader PUBLIC orbelune_turn PkgConfig::WEBP_DEMUX)
endif()
