# cpack -G DEB: the package vemoswr. Library dependencies come from dpkg-shlibdeps; the dial's
# labels need their font, which no library pulls in.
set(CPACK_PACKAGE_NAME vemoswr)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The VemoSWR authors")
set(CPACK_PACKAGE_CONTACT "The VemoSWR authors <maintainers@vemoswr.example.org>"
    CACHE STRING "Maintainer of the Debian package")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "front-end for an in-line RF power and VSWR monitor")
set(CPACK_PACKAGE_DESCRIPTION
    "VemoSWR shows the forward and reflected power of an in-line RF power and VSWR monitor on
a serial port, with VSWR, return loss and the other derived quantities, on read-outs and a
dial meter. It polls the monitor, logs readings, raises alarms, sets the monitor's options
and calibrates it. The package also holds vemoswr-cli, the same session from the command
line, and vemoswr-sim, a simulated monitor on a pseudo-terminal.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion, snmpd")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
