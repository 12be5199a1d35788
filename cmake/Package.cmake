# The Debian package, built by scripts/package.sh with "cpack -G DEB".
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tiltdeck)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "${TILTDECK_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TILTDECK_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The run-time dependencies are those of the shared libraries the programs
# link (dpkg-shlibdeps), not a hand-kept list.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "commissioning tool for AISG antenna line devices")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "commissioning tool for AISG antenna line devices
Tiltdeck is the primary station of one AISG bus reached through an RS-485
adapter: it finds the antenna line devices (XID scan), addresses and
connects them, and runs their procedures: tilt and calibration of RET
units, gain and mode of tower mounted amplifiers, device data, downloads
and alarms. It polls the bus for alarms and traces every layer.
.
The package holds the main window (tiltdeck), the command-line tool for
scripts (tiltdeck-cli) and a simulator of a whole bus on a pseudo-terminal
(aldsim).")
include(CPack)
