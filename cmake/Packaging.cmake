# A Debian package of the installed program: `cpack -G DEB` in the build folder gives
# ostrivel_<version>_<arch>.deb.
#
# The package holds the files at the install prefix the program was configured with, so the
# folders compiled into it (the shared text converters) are those the package installs.
# Configure with -DCMAKE_INSTALL_PREFIX=/usr for a package that follows Debian's layout.
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  message(STATUS "Packaging: install prefix is ${CMAKE_INSTALL_PREFIX}; "
                 "use -DCMAKE_INSTALL_PREFIX=/usr for a Debian package")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ostrivel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Ostrivel developers")
set(CPACK_PACKAGE_CONTACT "Ostrivel developers <dev@ostrivel.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "try out web page source beside its rendering")
# One string without ";" (CMake would read that as a list separator and drop it).
set(CPACK_PACKAGE_DESCRIPTION [=[Ostrivel is a small desktop tool for trying out web page source: an editor
for the HTML source on the left and a browser engine that shows the page on
the right. F7 shows the editor's text in the browser pane, documents can be
opened as plain text or RTF, and the source can be saved to a file. Texts are
handled as Simplified Chinese (GBK) bytes.]=])
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://ostrivel.example.org")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries (GTK, gtkmm, GtkSourceView, WebKitGTK, the C and C++ run-time) are found by
# dpkg-shlibdeps from the binary; the font that stands in for 宋体 is not linked, so it is named.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk | fonts-arphic-uming")

include(CPack)
