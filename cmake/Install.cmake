# Installation layout; packaging/make-deb.sh makes the Debian package from it.
#
#   <prefix>/lib/ostrivane/ostrivane        the program
#   <prefix>/lib/ostrivane/libcabinet.so    the cabinet library, loaded from the program's folder
#   <prefix>/lib/ostrivane/ostrivane-cab    the command-line front end
#   <prefix>/bin/ostrivane                  a starter script that runs the program from there
#   <prefix>/bin/ostrivane-cab              a link to the front end (for cron and timers)
#   <prefix>/share/applications/ostrivane.desktop
#   <prefix>/share/metainfo/cz.quenza.ostrivane.metainfo.xml   the entry for software centres
#   <prefix>/share/icons/hicolor/{16x16,...,256x256}/apps/ostrivane.png, scalable/apps/ostrivane.svg
#   <prefix>/share/man/man1/{ostrivane,ostrivane-cab}.1.gz
#   <prefix>/share/bash-completion/completions/ostrivane-cab
#   <prefix>/lib/systemd/user/ostrivane-backup.{service,timer}   the nightly `--settings` backup
#   <prefix>/share/doc/ostrivane/{copyright,changelog.gz}
#
# The program loads libcabinet.so from its own folder, so it lives in a folder of its own rather
# than in bin/; the launchers it writes start it through <prefix>/bin/ostrivane with the themed
# icon (desktop/DesktopEntryText). Its settings file Ostrivane.ini is kept beside it only where the
# user may write there (a personal prefix); in a system prefix it goes to ~/.config/ostrivane/.

set(OSTRIVANE_PROGRAM_DIR lib/ostrivane)
set(OSTRIVANE_PACKAGING ${CMAKE_CURRENT_LIST_DIR}/../packaging)
set(OSTRIVANE_GENERATED ${CMAKE_BINARY_DIR}/packaging)

# The Debian changelog's newest entry is the version being built: checked here, where both meet.
file(STRINGS ${OSTRIVANE_PACKAGING}/debian/changelog OSTRIVANE_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT OSTRIVANE_CHANGELOG_TOP MATCHES "^ostrivane \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/debian/changelog does not begin with version ${PROJECT_VERSION}")
endif()

# Manual pages (with the version filled in) and the changelog, compressed as Debian keeps them:
# gzip -9 without name or time stamp, so that the package is reproducible.
set(OSTRIVANE_GZIPPED)
foreach(page ${CMAKE_SOURCE_DIR}/app/ostrivane.1 ${CMAKE_SOURCE_DIR}/tools/ostrivane-cab.1)
    get_filename_component(name ${page} NAME)
    configure_file(${page} ${OSTRIVANE_GENERATED}/${name} @ONLY)
    list(APPEND OSTRIVANE_GZIPPED ${OSTRIVANE_GENERATED}/${name})
endforeach()
configure_file(${OSTRIVANE_PACKAGING}/debian/changelog ${OSTRIVANE_GENERATED}/changelog COPYONLY)
list(APPEND OSTRIVANE_GZIPPED ${OSTRIVANE_GENERATED}/changelog)
set(OSTRIVANE_GZIP_OUTPUTS)
foreach(file ${OSTRIVANE_GZIPPED})
    add_custom_command(OUTPUT ${file}.gz
        COMMAND gzip -9nf -k ${file}
        DEPENDS ${file}
        COMMENT "Compressing ${file}")
    list(APPEND OSTRIVANE_GZIP_OUTPUTS ${file}.gz)
endforeach()
add_custom_target(ostrivane_documents ALL DEPENDS ${OSTRIVANE_GZIP_OUTPUTS})

if(TARGET ostrivane)
    install(TARGETS ostrivane RUNTIME DESTINATION ${OSTRIVANE_PROGRAM_DIR})
    install(PROGRAMS ${OSTRIVANE_PACKAGING}/ostrivane.sh DESTINATION bin RENAME ostrivane)
    install(FILES ${OSTRIVANE_PACKAGING}/ostrivane.desktop DESTINATION share/applications)
    install(FILES ${OSTRIVANE_PACKAGING}/metainfo/cz.quenza.ostrivane.metainfo.xml
        DESTINATION share/metainfo)
    foreach(size 16 22 24 32 48 64 128 256)
        install(FILES ${OSTRIVANE_PACKAGING}/icons/ostrivane-${size}.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME ostrivane.png)
    endforeach()
    install(FILES ${OSTRIVANE_PACKAGING}/icons/ostrivane.svg
        DESTINATION share/icons/hicolor/scalable/apps)
    install(FILES ${OSTRIVANE_GENERATED}/ostrivane.1.gz DESTINATION share/man/man1)
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
    install(FILES ${OSTRIVANE_GENERATED}/ostrivane-cab.1.gz DESTINATION share/man/man1)
    install(FILES ${OSTRIVANE_PACKAGING}/bash-completion/ostrivane-cab
        DESTINATION share/bash-completion/completions)
    # The user units start the front end by its path in the prefix installed into, which is known
    # only when installing (cmake --install --prefix).
    install(CODE "
        foreach(unit ostrivane-backup.service ostrivane-backup.timer)
            set(OSTRIVANE_BINDIR \"\${CMAKE_INSTALL_PREFIX}/bin\")
            configure_file(\"${OSTRIVANE_PACKAGING}/systemd/\${unit}\"
                \"${OSTRIVANE_GENERATED}/systemd/\${unit}\" @ONLY)
            file(INSTALL \"${OSTRIVANE_GENERATED}/systemd/\${unit}\"
                DESTINATION \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/user\")
        endforeach()")
endif()
install(FILES ${OSTRIVANE_PACKAGING}/debian/copyright ${OSTRIVANE_GENERATED}/changelog.gz
    DESTINATION share/doc/ostrivane)

# The Debian package's control data, filled in by packaging/make-deb.sh with what only the
# built files tell (Architecture, Installed-Size, and Depends from dpkg-shlibdeps).
set(OSTRIVANE_DEB_MAINTAINER "quenza <ostrivane@quenza.cz>")
configure_file(${OSTRIVANE_PACKAGING}/debian/control.in ${OSTRIVANE_GENERATED}/control @ONLY)
