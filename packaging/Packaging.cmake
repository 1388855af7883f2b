# Installation rules and the Debian package (cpack -G DEB, run by scripts/package.sh).
include(GNUInstallDirs)
# scripts/package.sh builds what the package holds; installing does not rebuild the whole tree
# (every test) first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

set(ORVANE_APP_ID net.orvane.orvane)
set(ORVANE_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})


# Application icon in the hicolor sizes, scaled with Qt from the square logo at build time.
add_executable(orvane-iconscale ${ORVANE_PACKAGING_DIR}/iconscale.cpp)
target_link_libraries(orvane-iconscale PRIVATE orvane_options Qt5::Gui)
set(ORVANE_LOGO ${CMAKE_SOURCE_DIR}/src/resources/images/logo-1.png)
set(ORVANE_ICON_SIZES 16 22 24 32 48 64 128 256)
set(ORVANE_ICONS)
foreach(size ${ORVANE_ICON_SIZES})
    list(APPEND ORVANE_ICONS ${CMAKE_BINARY_DIR}/icons/${size}x${size}/apps/${ORVANE_APP_ID}.png)
endforeach()
add_custom_command(OUTPUT ${ORVANE_ICONS}
    COMMAND orvane-iconscale ${ORVANE_LOGO} ${CMAKE_BINARY_DIR}/icons ${ORVANE_APP_ID} ${ORVANE_ICON_SIZES}
    DEPENDS orvane-iconscale ${ORVANE_LOGO}
    COMMENT "Scaling the application icon"
    VERBATIM)

# Debian wants the changelog compressed at the highest level and without a time stamp.
configure_file(${ORVANE_PACKAGING_DIR}/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
set(ORVANE_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz)
add_custom_command(OUTPUT ${ORVANE_CHANGELOG_GZ}
    COMMAND sh -c "gzip -9nc changelog > changelog.Debian.gz"
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/packaging
    DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog
    VERBATIM)
add_custom_target(orvane_package_files ALL DEPENDS ${ORVANE_ICONS} ${ORVANE_CHANGELOG_GZ})

# Installs one of our programs into /usr/bin: each installed program is one call. Its manual
# page, packaging/man/<target>.1 when there is one, goes in compressed as Debian wants.
function(orvane_install_program target)
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    set(page ${ORVANE_PACKAGING_DIR}/man/${target}.1)
    if(EXISTS ${page})
        set(gz ${CMAKE_BINARY_DIR}/packaging/man/${target}.1.gz)
        file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging/man)
        add_custom_command(OUTPUT ${gz}
            COMMAND sh -c "gzip -9nc \"$0\" > \"$1\"" ${page} ${gz}
            DEPENDS ${page}
            VERBATIM)
        add_custom_target(${target}_manpage DEPENDS ${gz})
        add_dependencies(orvane_package_files ${target}_manpage)
        install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
endfunction()

install(FILES ${ORVANE_PACKAGING_DIR}/${ORVANE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ORVANE_PACKAGING_DIR}/${ORVANE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${ORVANE_PACKAGING_DIR}/copyright ${ORVANE_CHANGELOG_GZ}
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/orvane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VENDOR "Orvane")
set(CPACK_PACKAGE_CONTACT "Orvane developers <developers@orvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration tool for Orvane 600 edge gateways")
set(CPACK_PACKAGE_DESCRIPTION "Describes in a project which field devices a box polls over Modbus\n\
TCP, Modbus RTU or DL/T 645 and how its IEC 61850 server is set up, finds\n\
boxes on the local network, configures and reboots them, deploys projects\n\
and program images, and shows the live readings of a running box.\n\
The package also holds orvane-boxsim, a stand-in box for tests and training,\n\
and orvane-modbus, which finds the Modbus slaves on a line from a terminal.")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so the library scan cannot see them: the SVG icon plugin, the SQLite
# driver of the recordings, Qt's own catalogues, and setcap for the post-install step.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt5svg5, libqt5sql5-sqlite, qttranslations5-l10n, libcap2-bin")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${ORVANE_PACKAGING_DIR}/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
