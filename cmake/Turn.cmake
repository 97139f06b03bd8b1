# A turn as a lossless animated WebP, over Debian's libwebp: the views and
# the writer (libwebpmux's animation encoder), which the command and the
# page's module share.
find_package(PkgConfig REQUIRED)
pkg_check_modules(WEBP_MUX REQUIRED IMPORTED_TARGET libwebpmux)
add_library(orbelune_turn STATIC
  turn/TurnMetadata.cpp
  turn/TurnViews.cpp
  turn/TurnWriter.cpp)
target_link_libraries(orbelune_turn PUBLIC orbelune_scene PkgConfig::WEBP_MUX)
