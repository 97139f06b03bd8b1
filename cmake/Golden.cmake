# The image's golden digest, kept in one file, digest/golden-image.sha256
# (a line as sha256sum writes it), and generated from it into what reads it:
# the C++ header here, the page's golden.js (cmake/Web.cmake). The shell
# and JavaScript tests read the file itself.
set(ORBELUNE_GOLDEN_FILE ${PROJECT_SOURCE_DIR}/digest/golden-image.sha256)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ORBELUNE_GOLDEN_FILE})
file(READ ${ORBELUNE_GOLDEN_FILE} golden_line)
string(REGEX MATCH "^[0-9a-f]+" ORBELUNE_GOLDEN_DIGEST "${golden_line}")
string(LENGTH "${ORBELUNE_GOLDEN_DIGEST}" golden_length)
if(NOT golden_length EQUAL 64)
  message(FATAL_ERROR "${ORBELUNE_GOLDEN_FILE} does not begin with a SHA-256 digest in hex")
endif()
configure_file(${PROJECT_SOURCE_DIR}/digest/GoldenDigest.h.in
               ${CMAKE_BINARY_DIR}/generated/digest/GoldenDigest.h @ONLY)
