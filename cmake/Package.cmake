# The Debian package, built by scripts/package.sh with "cpack -G DEB".
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tiltdeck)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Stripped with cmake/strip-package.sh (scripts/package.sh names it as the
# strip program), which also drops the compiler's .comment and .note.
#
# lintian then reports, at its "info" level, only texts it takes for
# misspellings in the programs:
# - "Funtions": the name of the TMA procedure "TMA Get Supported Funtions"
#   as the program traces and shows it; it is the system's own text, kept.
# - "anothe", "ofthe": not in any text of the program; the compiler builds
#   short texts from overlapping 16-octet pieces ("in use by another
#   program"), and lintian reads the pieces. Nothing to mend.
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
# CPack puts the summary above this as the synopsis line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tiltdeck is the primary station of one AISG bus reached through an RS-485
adapter: it finds the antenna line devices (XID scan), addresses and
connects them, and runs their procedures: tilt and calibration of RET
units, gain and mode of tower mounted amplifiers, device data, downloads
and alarms. It polls the bus for alarms and traces every layer.
.
The package holds the main window (tiltdeck), the command-line tool for
scripts (tiltdeck-cli) and a simulator of a whole bus on a pseudo-terminal
(aldsim).")
include(CPack)
