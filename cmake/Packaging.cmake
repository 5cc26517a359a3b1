# The Debian package (scripts/package runs `cpack -G DEB`). Its dependencies are the Debian
# packages that hold the shared libraries the programs link, as dpkg-shlibdeps finds them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelagon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Dudadiruz Pelagon developers")
set(CPACK_PACKAGE_CONTACT "Dudadiruz Pelagon developers <pelagon@dudadiruz.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "map viewer for fishery management areas")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_FILE_NAME pelagon_${PROJECT_VERSION}_${CMAKE_SYSTEM_PROCESSOR})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://pelagon.dudadiruz.org/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's platform plugins are loaded at run time, so dpkg-shlibdeps cannot see them: their package
# is named here.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2")
# The first line of the package's description is the summary above; these are the lines below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Dudadiruz Pelagon shows the management areas, closures and other layers of a
fishery map with a legend. Its Fish Tool lists every layer present at a
clicked point with the attribute values and links to the documents that
apply; it also zooms, pans, jumps to preset regions, sites and regions,
measures distances in nautical miles, shows the longitude and latitude under
the pointer and prints the map and its legend.

pelagon-cli reads maps as the viewer does, for scripts and batch checks of
positions. A sample map of Alaska is included.")

include(CPack)
