# What `cmake --install` puts where, and the packages CPack makes of it:
# on Linux a .deb (its library dependencies found by dpkg-shlibdeps) that
# lintian accepts, and a .tar.gz; for Windows a .zip of orbelune.exe, the
# README and the licence, one for each processor.
set(ORBELUNE_MAINTAINER "Orbelune developers <orbelune@example.org>"
    CACHE STRING "The package's maintainer, name and mail address")
set(ORBELUNE_HOMEPAGE "https://example.org/orbelune"
    CACHE STRING "Where Orbelune is published; its docs/orbelune.png is the screenshot")
set(ORBELUNE_APP_ID "org.example.orbelune"
    CACHE STRING "The application's reverse-DNS name, for software centres")
set(CPACK_PACKAGE_NAME orbelune)
set(CPACK_PACKAGE_VENDOR "Orbelune")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "One still image, ray-marched on the processor: glowing orbs, cubes and text")
# Lines as the .deb shows them: Debian wants them within 80 columns.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Orbelune computes one still image by volume ray marching on the processor:"
  "a scattering of glowing aquamarine sphere shells and orange rounded cubes"
  "in a voxel grid, and three faintly glowing text slabs, 1025 x 769 pixels"
  "of 2001 samples each. The image is the same bits on every run and build."
  ""
  "The window program, orbelune, shows the image building up column by"
  "column. The command orbelune-render writes it to a PNG file, or a turn of"
  "the scene to a lossless animated WebP, prints its digest, and checks that"
  "a file holds it.")
set(CPACK_PACKAGE_HOMEPAGE_URL ${ORBELUNE_HOMEPAGE})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  install(TARGETS orbelune RUNTIME DESTINATION .)
  install(FILES README.md LICENSE DESTINATION .)
  # The README's links to the guides reach them; its picture shows.
  install(FILES docs/orbelune.png docs/building.md docs/web.md DESTINATION docs)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME orbelune-${PROJECT_VERSION}-windows-x64)
  else()
    set(CPACK_PACKAGE_FILE_NAME orbelune-${PROJECT_VERSION}-windows-x86)
  endif()
else()
  include(GNUInstallDirs)
  install(TARGETS orbelune-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  if(TARGET orbelune)
    install(TARGETS orbelune RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES shell/orbelune.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES shell/orbelune.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
  endif()
  include(cmake/Packaging.cmake)
  set(CPACK_GENERATOR "DEB;TGZ")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ORBELUNE_MAINTAINER})
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_PACKAGE_FILE_NAME orbelune-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
endif()
include(CPack)
