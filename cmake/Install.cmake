# Install layout of a Debian desktop program: the three programs, the
# simulator's sites and samples, the menu entry with its icon, the AppStream
# metainfo, the manual pages and the bash completion of tiltdeck-cli.
include(GNUInstallDirs)

find_program(GZIP_PROGRAM gzip REQUIRED)
find_program(RSVG_CONVERT rsvg-convert REQUIRED)

set(TILTDECK_DATA ${CMAKE_SOURCE_DIR}/data)
set(TILTDECK_GENERATED ${CMAKE_BINARY_DIR}/data)
set(TILTDECK_ICON_SIZES 16 24 32 48 64 128 256)
set(TILTDECK_MAINTAINER "Tiltdeck developers <tiltdeck@example.org>")

# Manual pages and the changelog are installed compressed, without a time
# stamp in the gzip header, so two builds of one source give one package.
set(generated_files)
foreach(page tiltdeck tiltdeck-cli aldsim)
  set(out ${TILTDECK_GENERATED}/${page}.1.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${GZIP_PROGRAM} -9nc ${TILTDECK_DATA}/man/${page}.1 > ${out}
    DEPENDS ${TILTDECK_DATA}/man/${page}.1 VERBATIM)
  list(APPEND generated_files ${out})
  install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

configure_file(${TILTDECK_DATA}/changelog.in ${TILTDECK_GENERATED}/changelog @ONLY)
add_custom_command(OUTPUT ${TILTDECK_GENERATED}/changelog.gz
  COMMAND ${GZIP_PROGRAM} -9nc ${TILTDECK_GENERATED}/changelog > ${TILTDECK_GENERATED}/changelog.gz
  DEPENDS ${TILTDECK_GENERATED}/changelog VERBATIM)
list(APPEND generated_files ${TILTDECK_GENERATED}/changelog.gz)

foreach(size ${TILTDECK_ICON_SIZES})
  set(out ${TILTDECK_GENERATED}/icons/${size}/tiltdeck.png)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TILTDECK_GENERATED}/icons/${size}
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${out} ${TILTDECK_DATA}/tiltdeck.svg
    DEPENDS ${TILTDECK_DATA}/tiltdeck.svg VERBATIM)
  list(APPEND generated_files ${out})
  install(FILES ${out} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(tiltdeck_data ALL DEPENDS ${generated_files})

install(TARGETS tiltdeck-cli aldsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TILTDECK_GUI)
  install(TARGETS tiltdeck_app RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(FILES ${TILTDECK_SITE_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/tiltdeck/sites)
install(FILES sim/samples/firmware.css sim/samples/antenna.cfg DESTINATION ${CMAKE_INSTALL_DATADIR}/tiltdeck/samples)
install(FILES tools/wireshark/aisg.lua DESTINATION ${CMAKE_INSTALL_DATADIR}/tiltdeck/wireshark)

install(FILES ${TILTDECK_DATA}/tiltdeck.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TILTDECK_DATA}/tiltdeck.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${TILTDECK_DATA}/org.tiltdeck.tiltdeck.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${TILTDECK_DATA}/tiltdeck-cli.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME tiltdeck-cli)
install(FILES ${TILTDECK_DATA}/copyright ${TILTDECK_GENERATED}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tiltdeck)
