# The files Debian expects beside the programs, made at build time from
# their sources and installed with them: the manual pages and the
# changelog compressed as Debian ships them (gzip -9n: the most compression,
# no timestamp), the licence as a machine-readable copyright file, and the
# AppStream entry that lets software centres list the window program.
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/orbelune)
set(packaging ${PROJECT_SOURCE_DIR}/packaging)

# The copyright file carries LICENSE's text, each line indented and a blank
# line written as " .", so the licence is written once.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE ORBELUNE_LICENSE_TEXT)
string(STRIP "${ORBELUNE_LICENSE_TEXT}" ORBELUNE_LICENSE_TEXT)
string(REPLACE "\n\n" "\n.\n" ORBELUNE_LICENSE_TEXT "${ORBELUNE_LICENSE_TEXT}")
string(REPLACE "\n" "\n " ORBELUNE_LICENSE_TEXT " ${ORBELUNE_LICENSE_TEXT}")
configure_file(${packaging}/copyright.in ${CMAKE_BINARY_DIR}/packaging/copyright @ONLY)
configure_file(${packaging}/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)

set(compressed)
set(pages orbelune-render)
if(TARGET orbelune)
  list(APPEND pages orbelune)
endif()
foreach(page IN LISTS pages)
  list(APPEND compressed ${PROJECT_SOURCE_DIR}/docs/man/${page}.1)
endforeach()
list(APPEND compressed ${CMAKE_BINARY_DIR}/packaging/changelog)
set(outputs)
foreach(source IN LISTS compressed)
  get_filename_component(name ${source} NAME)
  set(output ${CMAKE_BINARY_DIR}/packaging/${name}.gz)
  add_custom_command(OUTPUT ${output} DEPENDS ${source}
                     COMMAND sh -c "gzip -9n < \"$1\" > \"$2\"" gzip ${source} ${output}
                     VERBATIM)
  list(APPEND outputs ${output})
endforeach()
add_custom_target(packaging_files ALL DEPENDS ${outputs})

foreach(page IN LISTS pages)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/${page}.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
# The README with its picture and the guides it links to, where its links
# find them; the licence in the form Debian reads it.
install(FILES README.md DESTINATION ${doc_dir})
install(FILES docs/orbelune.png docs/building.md docs/web.md DESTINATION ${doc_dir}/docs)
install(FILES ${CMAKE_BINARY_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${doc_dir})
if(TARGET orbelune)
  configure_file(${packaging}/orbelune.metainfo.xml.in
                 ${CMAKE_BINARY_DIR}/packaging/${ORBELUNE_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/${ORBELUNE_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()
