# Packages made by CPack (scripts/package.sh runs it): a Debian package of the tool, a second one
# with the window dialog's module, which the first only suggests so that a server install pulls
# in no Qt, and a .tar.gz of the whole installed tree.
set(CPACK_PACKAGE_NAME opjoin)
set(CPACK_PACKAGE_VENDOR "opjoin developers")
set(CPACK_PACKAGE_CONTACT "opjoin developers <opjoin@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${PROJECT_DESCRIPTION})
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB TGZ)

# Debian: one package per component, library dependencies found by dpkg-shlibdeps.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME opjoin)
set(CPACK_DEBIAN_TOOL_DESCRIPTION
    "Joins the MOS operating-point listing of a simulation log into a table
opjoin reads the log a circuit simulation writes, finds the operating-point listing of the
MOS transistors, joins its column blocks row by row and writes the joined rows as a table
file beside the log.")
set(CPACK_DEBIAN_TOOL_PACKAGE_SUGGESTS opjoin-gui)
set(CPACK_DEBIAN_GUI_PACKAGE_NAME opjoin-gui)
set(CPACK_DEBIAN_GUI_DESCRIPTION "The Open dialog of opjoin in a window (Qt 6)
Lets opjoin show its Open dialog in a window on a desktop.")
set(CPACK_DEBIAN_GUI_PACKAGE_DEPENDS "opjoin (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_GUI_PACKAGE_SECTION electronics)

# The .tar.gz holds everything in one tree.
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
set(CPACK_COMPONENTS_ALL tool gui)
include(CPack)
