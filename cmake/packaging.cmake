# What `cmake --install` puts where, and the Debian package `cpack -G DEB` makes of it.
include(GNUInstallDirs)

install(TARGETS scrwarpvue RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Debian's xscreensaver runs hacks from libexec/xscreensaver; a relative link there finds the program
# wherever the tree is unpacked.
file(RELATIVE_PATH HACK_TARGET "/${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver" "/${CMAKE_INSTALL_BINDIR}/scrwarpvue")
install(CODE "
    set(hack_dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver\")
    file(MAKE_DIRECTORY \"\${hack_dir}\")
    message(STATUS \"Installing: \${hack_dir}/scrwarpvue -> ${HACK_TARGET}\")
    file(CREATE_LINK \"${HACK_TARGET}\" \"\${hack_dir}/scrwarpvue\" SYMBOLIC)")
install(FILES ${CMAKE_SOURCE_DIR}/packaging/scrwarpvue.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)

# The man page and the package's changelog, compressed as Debian's tools compress them (no name or time
# stamp, so the same tree gives the same bytes).
configure_file(${CMAKE_SOURCE_DIR}/packaging/scrwarpvue.6 ${CMAKE_BINARY_DIR}/scrwarpvue.6 @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog ${CMAKE_BINARY_DIR}/changelog @ONLY)
find_program(GZIP gzip)
foreach(doc scrwarpvue.6:${CMAKE_INSTALL_MANDIR}/man6 changelog:${CMAKE_INSTALL_DOCDIR})
    string(REPLACE ":" ";" doc ${doc})
    list(GET doc 0 name)
    list(GET doc 1 destination)
    if(GZIP)
        add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${name}.gz
                           COMMAND ${GZIP} -9n -c ${CMAKE_BINARY_DIR}/${name} > ${CMAKE_BINARY_DIR}/${name}.gz
                           DEPENDS ${CMAKE_BINARY_DIR}/${name})
        list(APPEND COMPRESSED_DOCS ${CMAKE_BINARY_DIR}/${name}.gz)
        install(FILES ${CMAKE_BINARY_DIR}/${name}.gz DESTINATION ${destination})
    else()
        install(FILES ${CMAKE_BINARY_DIR}/${name} DESTINATION ${destination})
    endif()
endforeach()
if(GZIP)
    add_custom_target(manpage ALL DEPENDS ${COMPRESSED_DOCS})
endif()
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(FILES ${CMAKE_SOURCE_DIR}/packaging/scrwarpvue.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 32 128)
    install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/scrwarpvue-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME scrwarpvue.png)
endforeach()

set(CPACK_PACKAGE_NAME scrwarpvue)
set(CPACK_PACKAGE_VENDOR "SCRWARPVUE")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "screen saver that pretends the monitor broke")
set(CPACK_PACKAGE_DESCRIPTION
    "Takes a picture of the desktop and shows it distorted in one of eight monitor\nfaults, with a small robot under the vertical-sync fault and a burning hole\nunder the overvoltage fault. Runs under xscreensaver as a hack, its fault\nchosen in xscreensaver's settings, or on its own from an idle tool such as\nxautolock, or swayidle on Wayland compositors of the wlroots family (sway,\nHyprland, river, labwc, wayfire, niri).")
set(CPACK_PACKAGE_CONTACT "SCRWARPVUE developers <scrwarpvue@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The dependencies are the shared libraries the program links, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What starts it is the user's choice: xscreensaver (the usual one), or an idle tool calling /s.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver | xautolock | swayidle")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-ipafont-gothic | fonts-vlgothic")
include(CPack)
