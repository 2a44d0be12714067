# Installing Tavro as a Linux program, and its Debian package.
#
# An installed Tavro is used through a link in each emulator directory (made by
# tavro-link, which also makes that directory's menu entry), so the program
# itself gets no desktop entry: on its own it has no emulator directory.
include(GNUInstallDirs)

set(TAVRO_DIST ${PROJECT_SOURCE_DIR}/dist)
set(TAVRO_APPSTREAM_ID io.github.tavro_launcher.Tavro)

install(TARGETS tavro RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS ${TAVRO_DIST}/tavro-link DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/src/resources/icons/tavro-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME tavro.png)
endforeach()
install(FILES ${TAVRO_DIST}/${TAVRO_APPSTREAM_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Manual pages and the changelog are installed compressed, as Debian has them
# (gzip -n: no name or time stamp, so the same text gives the same bytes).
set(TAVRO_MAN_PAGES)
set(TAVRO_GZIPPED)
foreach(file tavro.1 tavro-link.1 changelog)
  set(gz ${PROJECT_BINARY_DIR}/dist/${file}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/dist
    COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${TAVRO_DIST}/${file} ${gz}
    DEPENDS ${TAVRO_DIST}/${file} VERBATIM)
  list(APPEND TAVRO_GZIPPED ${gz})
  if(file MATCHES "[.]1$")
    list(APPEND TAVRO_MAN_PAGES ${gz})
  endif()
endforeach()
add_custom_target(tavro_gzipped_docs DEPENDS ${TAVRO_GZIPPED})
# Made with the program, so that installing after a build of the program alone
# (scripts/demo) finds them.
add_dependencies(tavro tavro_gzipped_docs)
install(FILES ${TAVRO_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The licence in Debian's machine-readable form, and the changelog under the
# name Debian gives it in a package that is its own upstream.
install(FILES ${TAVRO_DIST}/copyright ${PROJECT_BINARY_DIR}/dist/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

# cmake --build build --target package  ->  build/tavro_<version>_<arch>.deb
# Packagers set the maintainer: -DTAVRO_PACKAGE_MAINTAINER="Name <address>".
set(TAVRO_PACKAGE_MAINTAINER "The Tavro developers <tavro-launcher@users.noreply.github.com>"
  CACHE STRING "The Maintainer field of the Debian package")
# A build directory configured before kept the earlier default, an address
# that Debian's checks reject.
if(TAVRO_PACKAGE_MAINTAINER STREQUAL "Tavro developers <tavro@localhost>")
  set_property(CACHE TAVRO_PACKAGE_MAINTAINER PROPERTY VALUE
    "The Tavro developers <tavro-launcher@users.noreply.github.com>")
endif()
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "launcher for the Morvel game emulator")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "\
Tavro is a small graphical launcher for Morvel, a command-line game emulator.
It lives in the emulator's directory: it lists the driver files, previews each
one, remembers the chosen screen mode, frame skip and switches, and starts the
emulator with them. tavro-link puts it into any number of emulator directories,
each with a menu entry of its own.")
set(CPACK_PACKAGE_CONTACT ${TAVRO_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Not "games": Tavro is a launcher, no game, and lives in /usr/bin, the path
# that the links tavro-link makes point to.
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends from the libraries the program links, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The faces the windows were designed with (the metric-compatible ones).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2, fonts-comic-neue")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "desktop-file-utils")
include(CPack)
