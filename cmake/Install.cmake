# Installation layout and the Debian package.
#
#   <prefix>/lib/ostrivane/ostrivane        the program
#   <prefix>/lib/ostrivane/libcabinet.so    the cabinet library, loaded from the program's folder
#   <prefix>/lib/ostrivane/ostrivane-cab    the command-line front end
#   <prefix>/lib/ostrivane/ostrivane.png    the icon that the program's launchers point at
#   <prefix>/bin/ostrivane                  a starter script that runs the program from there
#   <prefix>/bin/ostrivane-cab              a link to the front end (for cron and timers)
#   <prefix>/share/applications/ostrivane.desktop
#   <prefix>/share/icons/hicolor/{32x32,256x256}/apps/ostrivane.png
#
# The program loads libcabinet.so from its own folder, so it lives in a folder of its own rather
# than in bin/. Its settings file Ostrivane.ini is kept beside it only where the user may write
# there (a personal prefix); in a system prefix it goes to ~/.config/ostrivane/.

set(OSTRIVANE_PROGRAM_DIR lib/ostrivane)
set(OSTRIVANE_ICONS ${CMAKE_CURRENT_LIST_DIR}/../app/resources/icons)
set(OSTRIVANE_PACKAGING ${CMAKE_CURRENT_LIST_DIR}/../packaging)

if(TARGET ostrivane)
    install(TARGETS ostrivane RUNTIME DESTINATION ${OSTRIVANE_PROGRAM_DIR})
    install(FILES ${OSTRIVANE_ICONS}/ostrivane-256.png
        DESTINATION ${OSTRIVANE_PROGRAM_DIR} RENAME ostrivane.png)
    install(PROGRAMS ${OSTRIVANE_PACKAGING}/ostrivane.sh DESTINATION bin RENAME ostrivane)
    install(FILES ${OSTRIVANE_PACKAGING}/ostrivane.desktop DESTINATION share/applications)
    install(FILES ${OSTRIVANE_ICONS}/ostrivane.png
        DESTINATION share/icons/hicolor/32x32/apps)
    install(FILES ${OSTRIVANE_ICONS}/ostrivane-256.png
        DESTINATION share/icons/hicolor/256x256/apps RENAME ostrivane.png)
endif()
if(TARGET cabinet)
    install(TARGETS cabinet LIBRARY DESTINATION ${OSTRIVANE_PROGRAM_DIR})
endif()
if(TARGET ostrivane-cab)
    install(TARGETS ostrivane-cab RUNTIME DESTINATION ${OSTRIVANE_PROGRAM_DIR})
    # Run through the link, the front end still finds libcabinet.so beside its real file (the
    # running executable's path resolves the link) and the settings file by the program's rule.
    set(OSTRIVANE_BIN_LINKS ${CMAKE_BINARY_DIR}/bin-links)
    file(MAKE_DIRECTORY ${OSTRIVANE_BIN_LINKS})
    file(CREATE_LINK ../${OSTRIVANE_PROGRAM_DIR}/ostrivane-cab
        ${OSTRIVANE_BIN_LINKS}/ostrivane-cab SYMBOLIC)
    install(FILES ${OSTRIVANE_BIN_LINKS}/ostrivane-cab DESTINATION bin)
endif()

# Debian package: `cpack -G DEB` in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ostrivane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR quenza)
set(CPACK_PACKAGE_CONTACT "quenza <ostrivane@quenza.cz>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "quenza Ostrivane backup scheduler")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "quenza <ostrivane@quenza.cz>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.quenza.cz/ostrivane")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Backs up chosen folders, each with a file mask, into Microsoft Cabinet\n\
(.cab) archives compressed with MSZIP, at once or by itself at set times\n\
on set weekdays, keeping a numbered series of earlier archives. The\n\
program lives in the notification area and speaks Czech. Each user's\n\
settings are kept in ~/.config/ostrivane/Ostrivane.ini.")
# The shared libraries the binaries link come from dpkg-shlibdeps; the platform plugins that Qt
# loads at run time (X11 and Wayland) and Qt's Czech translations are not linked and must be named.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cabextract")
set(CPACK_STRIP_FILES ON)
include(CPack)
