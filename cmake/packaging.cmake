# Installing the Linux desktop files (data/) and the Debian package that CPack builds:
# `cpack -G DEB` in the build tree gives telvor_<version>_<arch>.deb, installing under /usr.
if(WIN32)
  return()
endif()
add_subdirectory(${PROJECT_SOURCE_DIR}/data ${PROJECT_BINARY_DIR}/data)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME telvor)
set(CPACK_PACKAGE_VENDOR "TELVOR")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "TELVOR developers <dev@telvor.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "screen saver showing where the young crescent Moon can be seen after sunset")
set(CPACK_PACKAGE_DESCRIPTION
    "A world map on which, lunation after lunation, the zone where the young
crescent Moon can be seen after sunset is drawn as it moves west with the
sunset. Runs full screen, in xscreensaver and in XSecureLock, with a settings
dialog; the telvor tool gives the Sun's and the Moon's positions and the
crescent's visibility.")
# A Debian revision of its own: the package's changelog is changelog.Debian.gz.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
# Says after the install how a user lists TELVOR in xscreensaver-settings.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/data/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries' packages, found by dpkg-shlibdeps (Cairo, Pango and giflib among them for
# telvor sky), and the font its charts are drawn in, which no library links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver | xsecurelock")
# No build-tree paths in the installed programs.
set(CPACK_STRIP_FILES ON)
include(CPack)
