# What `cmake --install` puts where, and the packages CPack makes of it:
# on Linux a .deb (its library dependencies found by dpkg-shlibdeps) and a
# .tar.gz; for Windows a .zip of orbelune.exe and the README.
set(CPACK_PACKAGE_NAME orbelune)
set(CPACK_PACKAGE_VENDOR "Orbelune")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "One still image, ray-marched on the processor: glowing orbs, cubes and text")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  install(TARGETS orbelune RUNTIME DESTINATION .)
  install(FILES README.md DESTINATION .)
  install(FILES docs/orbelune.png DESTINATION docs)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME orbelune-${PROJECT_VERSION}-windows-x86)
else()
  include(GNUInstallDirs)
  install(TARGETS orbelune-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  if(TARGET orbelune)
    install(TARGETS orbelune RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES shell/orbelune.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES shell/orbelune.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
  endif()
  # The README with its picture, where its link finds it.
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orbelune)
  install(FILES docs/orbelune.png DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orbelune/docs)
  set(CPACK_GENERATOR "DEB;TGZ")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Orbelune developers <orbelune@localhost>")
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_PACKAGE_FILE_NAME orbelune-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
endif()
include(CPack)
