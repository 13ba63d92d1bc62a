# The Debian package: cpack -G DEB makes dist/dorv-launcher_<version>_amd64.deb
# of what cmake/install.cmake installs, with the libraries' packages found by
# dpkg-shlibdeps. Configure with -DCMAKE_INSTALL_PREFIX=/usr (scripts/release
# does): the menu entry's paths are written with the install prefix.
set(DORV_PACKAGE_CONTACT "DORV launcher developers <dorv-launcher@example.org>" CACHE STRING
    "The Debian package's maintainer")

# A native package keeps its change log in changelog.gz; ours names the
# release only. Its date follows SOURCE_DATE_EPOCH, so a release is repeatable.
string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/debian/changelog CONTENT
"dorv-launcher (${PROJECT_VERSION}) unstable; urgency=medium

  * Release ${PROJECT_VERSION}.

 -- ${DORV_PACKAGE_CONTACT}  ${changelog_date}
")
set(changelog ${PROJECT_BINARY_DIR}/debian/changelog.gz)
add_custom_command(OUTPUT ${changelog}
  COMMAND gzip -9nc ${PROJECT_BINARY_DIR}/debian/changelog > ${changelog}
  DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog VERBATIM)
add_custom_target(debian_changelog ALL DEPENDS ${changelog})
install(FILES ${changelog} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/dorv-launcher)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dorv-launcher)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${DORV_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "launcher panel for the DORV parts catalogue under Wine")
set(CPACK_PACKAGE_DESCRIPTION
  "A small window for the DORV electronic parts catalogue, a Windows program
that runs under Wine. It lists the catalogue's data-set drives and finds each
one's key file, activates a data set by copying its key file into the Windows
folder of the Wine prefix, and starts the catalogue's programs.
The catalogue needs wine32 from the i386 architecture on amd64.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS wine)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_SOURCE_DIR}/dist)
set(CPACK_STRIP_FILES ON)
# Installed with DESTDIR, so the install prefix the menu entry names is /usr,
# not the staging folder.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
