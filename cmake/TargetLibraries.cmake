# For the cross toolchains that link orbelune-render statically against
# Debian's libpng, zlib, OpenSSL and libwebp of the target processor, unpacked by
# the set-up into ORBELUNE_TARGET_LIBRARIES (build/sysroot/ARCH) rather
# than installed: installing another architecture's libraries needs the
# host's at the very same versions, which a mirror mid-sync may not have.
# Statically linked, the program runs under qemu with nothing installed.
# Expects CMAKE_LIBRARY_ARCHITECTURE to be set.
if(ORBELUNE_TARGET_LIBRARIES)
  set(CMAKE_FIND_ROOT_PATH ${ORBELUNE_TARGET_LIBRARIES})
  set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
  set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
  set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
  set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
  set(OPENSSL_USE_STATIC_LIBS TRUE)
  set(libraries ${ORBELUNE_TARGET_LIBRARIES}/usr/lib/${CMAKE_LIBRARY_ARCHITECTURE})
  # FindPNG takes libpng.so by its full name, whatever the suffixes say.
  set(PNG_LIBRARY_RELEASE ${libraries}/libpng16.a CACHE FILEPATH "")
  # OpenSSL's configuration header sits in the multiarch folder.
  set(CMAKE_CXX_FLAGS_INIT
      "-isystem ${ORBELUNE_TARGET_LIBRARIES}/usr/include/${CMAKE_LIBRARY_ARCHITECTURE}")
  # pkg-config (libwebp's) reads the target's .pc files, their paths
  # taken inside the unpacked tree, not the host's /usr.
  set(ENV{PKG_CONFIG_LIBDIR} ${libraries}/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
  set(ENV{PKG_CONFIG_SYSROOT_DIR} ${ORBELUNE_TARGET_LIBRARIES})
endif()
