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

configure_file(${CMAKE_SOURCE_DIR}/packaging/scrwarpvue.6 ${CMAKE_BINARY_DIR}/scrwarpvue.6 @ONLY)
find_program(GZIP gzip)
if(GZIP)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/scrwarpvue.6.gz
                       COMMAND ${GZIP} -9n -c ${CMAKE_BINARY_DIR}/scrwarpvue.6 > ${CMAKE_BINARY_DIR}/scrwarpvue.6.gz
                       DEPENDS ${CMAKE_BINARY_DIR}/scrwarpvue.6)
    add_custom_target(manpage ALL DEPENDS ${CMAKE_BINARY_DIR}/scrwarpvue.6.gz)
    install(FILES ${CMAKE_BINARY_DIR}/scrwarpvue.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
else()
    install(FILES ${CMAKE_BINARY_DIR}/scrwarpvue.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
endif()

install(FILES ${CMAKE_SOURCE_DIR}/packaging/scrwarpvue.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 32 128)
    install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/scrwarpvue-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME scrwarpvue.png)
endforeach()

set(CPACK_PACKAGE_NAME scrwarpvue)
set(CPACK_PACKAGE_VENDOR "SCRWARPVUE")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "screen saver that pretends the monitor broke")
set(CPACK_PACKAGE_DESCRIPTION
    "Takes a picture of the desktop and shows it distorted in one of eight monitor faults, with a\nsmall robot under the vertical-sync fault and a burning hole under the overvoltage fault. Runs\nunder xscreensaver as a hack, or on its own from xautolock or xidlehook.")
set(CPACK_PACKAGE_CONTACT "SCRWARPVUE developers <scrwarpvue@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The dependencies are the shared libraries the program links, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver | xautolock | xidlehook")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-ipafont-gothic | fonts-vlgothic")
include(CPack)
