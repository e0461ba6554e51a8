# The Debian package: `cpack -G DEB` in a Release build folder makes
# velorin_<version>_<arch>.deb from the install rules, with its library
# dependencies computed by dpkg-shlibdeps (Debian's dpkg-dev and file).
set(CPACK_VERBATIM_VARIABLES ON)  # the description holds quotes
set(CPACK_PACKAGE_NAME velorin)
set(CPACK_PACKAGE_VENDOR "Velorin")
set(CPACK_PACKAGE_CONTACT "Velorin developers <velorin@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Russian desktop testing program and its dBase-family table engine")
# One string: the lines of the long description, each indented by CPack.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "The testing program (\"Тестирование\" in the desktop's menu): a person answers\n"
  "multiple-choice questions; names and results are kept in DBF tables.\n"
  "Also the command-line tool velorin-dbf, and the table engine as static\n"
  "libraries with their headers and the CMake package Velorin.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(VELORIN_WITH_QT)
  # The windows are laid out for Arial's metrics, which Liberation Sans matches.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
endif()
include(CPack)
