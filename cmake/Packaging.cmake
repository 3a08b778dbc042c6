# A Debian package of what `cmake --install` lays out, made with `cpack -G DEB` in the build
# folder. The Qt libraries come from Debian: dpkg-shlibdeps reads the programs and names the
# library packages they need (libqt6core6, libqt6widgets6, libqt6webenginewidgets6, ...).
set(CPACK_PACKAGE_NAME wendlecott)
set(CPACK_PACKAGE_VENDOR "Brindlemoor")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find unregistered domain names in bulk")
# Lines of the long description as dpkg shows them (under 80 characters each).
set(CPACK_PACKAGE_DESCRIPTION [[Wendlecott takes candidate names from word lists, a list of your own, a
name generator, search-engine result pages or the pages you browse, asks
the whois server of each name's extension whether it is taken, and files
the available names by length.
The package holds the desktop program, the command-line front end
wendlecott-cli and the shipped word lists.]])
set(CPACK_PACKAGE_CONTACT "Wendlecott developers <wendlecott@wendlecott.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Debug information stays in the build folder; the package gets stripped programs.
set(CPACK_STRIP_FILES ON)

set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.wendlecott.example")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The answer store's SQLite driver is a Qt plugin, loaded rather than linked, so it is named
# here; the public suffix list is read from the system's copy when there is one.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "publicsuffix")
# Platform plugins are loaded, not linked, so dpkg-shlibdeps cannot see them. The X11 one
# comes with libqt6gui6; a Wayland session needs its own.
if(WENDLECOTT_GUI)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
endif()

include(CPack)
