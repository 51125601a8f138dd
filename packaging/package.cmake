# The Debian package (scripts/package). The program keeps its folder: the
# executables in /usr/lib/krodalin, beside links tools.ini, database.ini and
# data that lead into /var/lib/krodalin, the site's writable folder. The
# maintainer scripts make that folder for the group krodalin and never empty
# it, so an upgrade or a removal leaves the settings, the journal and its
# copies where they are. Starters in /usr/bin set the group's umask.

set(KRODALIN_PACKAGE_SOURCE ${CMAKE_SOURCE_DIR}/packaging)
set(KRODALIN_PACKAGE_BUILD ${CMAKE_BINARY_DIR}/packaging)
set(KRODALIN_SITE_FOLDER /var/lib/krodalin)
set(KRODALIN_PROGRAM_FOLDER /usr/lib/krodalin)
set(KRODALIN_APP_ID org.example.krodalin)
set(KRODALIN_MAINTAINER "Krodalin developers <krodalin@example.org>")
# The Debian changelog's date line, in the form it wants.
execute_process(COMMAND env LC_ALL=C date -u -R -d ${KRODALIN_RELEASE_DATE}
  OUTPUT_VARIABLE KRODALIN_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)

foreach(program krodalin krodalin-db)
  set(KRODALIN_WRAPPED ${program})
  configure_file(${KRODALIN_PACKAGE_SOURCE}/starter.in ${KRODALIN_PACKAGE_BUILD}/bin/${program} @ONLY)
endforeach()
foreach(file changelog krodalin.1 krodalin-db.1 krodalin-indicator-sim.1 krodalin.metainfo.xml postinst postrm)
  configure_file(${KRODALIN_PACKAGE_SOURCE}/${file}.in ${KRODALIN_PACKAGE_BUILD}/${file} @ONLY)
endforeach()
configure_file(${KRODALIN_PACKAGE_SOURCE}/install.cmake.in ${KRODALIN_PACKAGE_BUILD}/install.cmake @ONLY)

# Only what the package holds is installed, and installing builds nothing:
# scripts/package builds these three first, and so has the test run.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
install(TARGETS krodalin krodalin-db indicator-sim DESTINATION lib/krodalin)
foreach(program krodalin krodalin-db indicator-sim)
  # Debian's hardening: the whole GOT read-only (relro is the linker's default).
  target_link_options(${program} PRIVATE LINKER:-z,now)
endforeach()
install(PROGRAMS ${KRODALIN_PACKAGE_BUILD}/bin/krodalin ${KRODALIN_PACKAGE_BUILD}/bin/krodalin-db DESTINATION bin)
install(FILES ${KRODALIN_PACKAGE_SOURCE}/krodalin.desktop DESTINATION share/applications
  RENAME ${KRODALIN_APP_ID}.desktop)
install(FILES ${KRODALIN_PACKAGE_BUILD}/krodalin.metainfo.xml DESTINATION share/metainfo
  RENAME ${KRODALIN_APP_ID}.metainfo.xml)
install(FILES ${KRODALIN_PACKAGE_SOURCE}/krodalin.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${KRODALIN_PACKAGE_SOURCE}/copyright DESTINATION share/doc/krodalin)
# The links, the compressed manual pages and changelog, the PNG icons, the
# stripping of what strip alone leaves.
install(SCRIPT ${KRODALIN_PACKAGE_BUILD}/install.cmake)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME krodalin)
set(CPACK_PACKAGE_VENDOR "Krodalin developers")
set(CPACK_PACKAGE_CONTACT ${KRODALIN_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "truck weighbridge: live weight, two-pass weighing, journal")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Krodalin is the program of the operator of a truck weighbridge. It polls a\n"
  "weighing indicator on a serial port, shows the live weight, judges its\n"
  "stability and records two-pass truck weighings (tare and gross) into a\n"
  "journal: an SQLite file or a database on a PostgreSQL server shared by\n"
  "several weighbridges. It prints consignment notes and journal reports and\n"
  "exports the journal as CSV. Its texts are Russian.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so shlibdeps cannot see them: the database drivers,
# Qt's Russian texts, Arial's metrics; adduser makes the group.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libqt6sql6-sqlite, libqt6sql6-psql, qt6-translations-l10n, fonts-liberation2, adduser")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${KRODALIN_PACKAGE_BUILD}/postinst ${KRODALIN_PACKAGE_BUILD}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
