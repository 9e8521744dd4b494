# What a desktop expects of an installed program beyond its binaries (menu entry, icon, metainfo, man pages,
# completion), and the Debian package scripts/package builds from the install. Included last by the top-level
# CMakeLists.txt.

include(GNUInstallDirs)

set(tolm_app_id org.tolm.ScreenCapture)
set(tolm_packaging_source ${CMAKE_CURRENT_LIST_DIR})
set(tolm_packaging_build ${CMAKE_BINARY_DIR}/packaging)
# The metainfo's home page and screenshots need web addresses; the project has none of its own yet.
set(TOLM_WEB_ADDRESS "https://tolm.example.org/screen-capture"
    CACHE STRING "Web address of the project: home page and screenshots of the metainfo")
set(TOLM_MAINTAINER "TOLM Screen Capture developers <maintainers@tolm.example.org>"
    CACHE STRING "Maintainer field of the Debian package")

configure_file(${tolm_packaging_source}/${tolm_app_id}.metainfo.xml.in
               ${tolm_packaging_build}/${tolm_app_id}.metainfo.xml @ONLY)
# Debian's machine-readable copyright file; the licence's full text is the system's own copy.
configure_file(${tolm_packaging_source}/copyright.in ${tolm_packaging_build}/copyright @ONLY)

# Man pages go compressed, as Debian expects them.
find_program(TOLM_GZIP gzip REQUIRED)
set(tolm_man_pages)
foreach(page tolm-capture.1 tolm-record.1)
    set(compressed ${tolm_packaging_build}/${page}.gz)
    add_custom_command(OUTPUT ${compressed}
        COMMAND ${CMAKE_COMMAND} -E copy ${tolm_packaging_source}/${page} ${tolm_packaging_build}/${page}
        COMMAND ${TOLM_GZIP} -9 -n -f ${tolm_packaging_build}/${page}
        DEPENDS ${tolm_packaging_source}/${page})
    list(APPEND tolm_man_pages ${compressed})
endforeach()
add_custom_target(tolm_man_pages ALL DEPENDS ${tolm_man_pages})

install(FILES ${tolm_packaging_source}/${tolm_app_id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${tolm_packaging_build}/${tolm_app_id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# The window's own icon is the menu's, so the two never differ; the PNG sizes are rendered from it.
install(FILES ${PROJECT_SOURCE_DIR}/app/icons/tolm.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME tolm-capture.svg)
install(DIRECTORY ${tolm_packaging_source}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor
        FILES_MATCHING PATTERN "*.png")
install(FILES ${tolm_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${tolm_packaging_build}/copyright DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tolm-screen-capture)
install(FILES ${tolm_packaging_source}/tolm-record.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tolm-record)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolm-screen-capture)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${TOLM_MAINTAINER})
# For the generators that show or record a licence; a DEB states it in its copyright file (above).
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RPM_PACKAGE_LICENSE ${TOLM_LICENSE})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "screen recorder for X11 desktops, with sound")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [[Records a rectangle, a window, a monitor or every monitor, with the mouse
cursor, an overlay picture and pixel effects drawn in, compressed on the fly
or after the recording, with sound from a PulseAudio or PipeWire input.
tolm-capture is the recorder's window, tolm-record the same recorder
without a window, for scripts.]])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The help menu and the folder button hand paths to the desktop's opener.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
