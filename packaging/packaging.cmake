# How the hall's programs install (cmake --install, GNUInstallDirs) and the
# Debian package CPack builds from that: programs, hall defaults, menu
# entries, icons, manual pages, the schedule's systemd units.
include(GNUInstallDirs)

set(HALL_PACKAGE hala-oswietlenie)
set(HALL_APP_ID example.veltrona.vuzo)
set(HALL_DEFAULTS_DIR ${CMAKE_INSTALL_DATADIR}/${HALL_PACKAGE}/konfigurator)
set(HALL_LIBEXEC_DIR ${CMAKE_INSTALL_LIBEXECDIR}/${HALL_PACKAGE})
set(HALL_SYSTEMD_UNIT_DIR lib/systemd/system CACHE STRING "Where the systemd units go, below the prefix")
set(HALL_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(HALL_STAGE_DIR ${CMAKE_BINARY_DIR}/packaging)

foreach(program vuzo zero kontomat harmonogram sterownik)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# The scripts find the defaults, zero and each other by relative paths, so an
# installation works under any prefix.
file(RELATIVE_PATH HALL_DATA_FROM_BIN /${CMAKE_INSTALL_BINDIR} /${HALL_DEFAULTS_DIR})
file(RELATIVE_PATH HALL_BIN_FROM_LIBEXEC /${HALL_LIBEXEC_DIR} /${CMAKE_INSTALL_BINDIR})
set(HALL_LAUNCHER ${CMAKE_INSTALL_FULL_LIBEXECDIR}/${HALL_PACKAGE}/uruchom)
foreach(script nowa-hala uruchom)
  configure_file(${HALL_PACKAGING_DIR}/${script}.in ${HALL_STAGE_DIR}/${script} @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                                  WORLD_EXECUTE)
endforeach()
install(PROGRAMS ${HALL_STAGE_DIR}/nowa-hala DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS ${HALL_STAGE_DIR}/uruchom DESTINATION ${HALL_LIBEXEC_DIR})

install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/konfigurator/ DESTINATION ${HALL_DEFAULTS_DIR})

foreach(entry example.veltrona.vuzo example.veltrona.kontomat)
  configure_file(${HALL_PACKAGING_DIR}/${entry}.desktop.in ${HALL_STAGE_DIR}/${entry}.desktop @ONLY)
  install(FILES ${HALL_STAGE_DIR}/${entry}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endforeach()
install(FILES ${HALL_PACKAGING_DIR}/${HALL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

foreach(size 16 32 48 64 128 256)
  install(FILES ${HALL_PACKAGING_DIR}/icons/${HALL_PACKAGE}-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${HALL_PACKAGE}.png)
endforeach()
install(FILES ${HALL_PACKAGING_DIR}/icons/${HALL_PACKAGE}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The services name their programs by the package's path; under another
# prefix they name the installed ones.
foreach(unit harmonogram@.timer harmonogram@.service sterownik@.service sterownik-modbus@.socket)
  if(EXISTS ${PROJECT_SOURCE_DIR}/systemd/${unit})
    file(READ ${PROJECT_SOURCE_DIR}/systemd/${unit} text)
    string(REPLACE "ExecStart=/usr/bin/" "ExecStart=${CMAKE_INSTALL_FULL_BINDIR}/" text "${text}")
    file(WRITE ${HALL_STAGE_DIR}/${unit} "${text}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/systemd/${unit})
    install(FILES ${HALL_STAGE_DIR}/${unit} DESTINATION ${HALL_SYSTEMD_UNIT_DIR})
  endif()
endforeach()

# The services' system user, made by the package's postinst.
install(FILES ${HALL_PACKAGING_DIR}/sysusers.conf DESTINATION lib/sysusers.d RENAME ${HALL_PACKAGE}.conf)

# Manual pages and the Debian changelog are installed gzipped, reproducibly
# (no name or time stamp in the gzip header).
find_program(HALL_GZIP gzip REQUIRED)
function(hall_install_gzipped source destination name)
  set(output ${HALL_STAGE_DIR}/gz/${destination}/${name}.gz)
  add_custom_command(OUTPUT ${output}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${HALL_STAGE_DIR}/gz/${destination}
                     COMMAND ${HALL_GZIP} -9nc ${source} > ${output}
                     DEPENDS ${source} VERBATIM)
  list(APPEND HALL_GZIPPED ${output})
  set(HALL_GZIPPED ${HALL_GZIPPED} PARENT_SCOPE)
  install(FILES ${output} DESTINATION ${destination})
endfunction()

set(HALL_GZIPPED)
set(manual_programs vuzo zero kontomat nowa-hala)
if(TARGET harmonogram)
  list(APPEND manual_programs harmonogram)
endif()
if(TARGET sterownik)
  list(APPEND manual_programs sterownik)
endif()
foreach(program IN LISTS manual_programs)
  hall_install_gzipped(${HALL_PACKAGING_DIR}/man/${program}.1 ${CMAKE_INSTALL_MANDIR}/man1 ${program}.1)
  hall_install_gzipped(${HALL_PACKAGING_DIR}/man/pl/${program}.1 ${CMAKE_INSTALL_MANDIR}/pl/man1 ${program}.1)
endforeach()
set(HALL_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${HALL_PACKAGE})
hall_install_gzipped(${HALL_PACKAGING_DIR}/changelog ${HALL_DOC_DIR} changelog.Debian)
install(FILES ${HALL_PACKAGING_DIR}/copyright DESTINATION ${HALL_DOC_DIR})
# mosquitto's settings for a broker that carries halls, and a site broker's bridge to the centre.
install(FILES ${HALL_PACKAGING_DIR}/mosquitto/hala.conf ${HALL_PACKAGING_DIR}/mosquitto/centrala.conf
        DESTINATION ${HALL_DOC_DIR}/examples)
install(FILES ${HALL_PACKAGING_DIR}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME ${HALL_PACKAGE})
add_custom_target(hall_packaging_files ALL DEPENDS ${HALL_GZIPPED})

set(CPACK_PACKAGE_NAME ${HALL_PACKAGE})
set(CPACK_PACKAGE_VENDOR VELTRONA)
set(CPACK_PACKAGE_CONTACT "VELTRONA <oswietlenie@veltrona.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "lighting configurator of a factory hall")
set(CPACK_PACKAGE_HOMEPAGE_URL https://veltrona.example/)
# The menu entries name the launcher by its full path: build the package
# with CMAKE_INSTALL_PREFIX=/usr (scripts/package does).
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's window system plugin is loaded at run time, so dpkg-shlibdeps cannot see it.
# adduser makes the services' user where systemd-sysusers is missing.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, adduser")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${HALL_PACKAGING_DIR}/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, fonts-liberation, fonts-dejavu-core, mosquitto")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xvfb")
# The long description; CPack puts the summary above it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "vuzo shows the plan of the hall's 108 lamps, lit or off, and edits the eight
lighting scenes, the scenes of the wall keys and motion sensors, the
switch-off delay and the weekly and dated schedules. The package also holds
the account tool kontomat, the reset tool zero, the schedule tool
harmonogram with its systemd timer, the hall's controller sterownik, a
service that carries out the motion sensors, wall keys and switch-off delay
and drives the lamps over MQTT, and nowa-hala, which lays out a hall.
The user interface is Polish.")
include(CPack)
