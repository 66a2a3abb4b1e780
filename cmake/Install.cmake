# Desktop integration on Linux and the BSDs: `cmake --install` puts the menu entry, the window
# icon and the software-centre description in the standard freedesktop.org places, all named
# after the application id, the bash completion of lectoria-cli, and (man/) the manual pages. The
# two programs are installed by src/app. The PNG sizes are rendered from the SVG by
# tools/render_icons.cpp.
if(WIN32 OR APPLE)
    return()
endif()
include(GNUInstallDirs)
set(LECTORIA_APP_ID fr.orvane.Lectoria)
install(FILES ${PROJECT_SOURCE_DIR}/resources/${LECTORIA_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/${LECTORIA_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 32 48 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/lectoria-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${LECTORIA_APP_ID}.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/resources/lectoria.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${LECTORIA_APP_ID}.svg)
install(FILES ${PROJECT_SOURCE_DIR}/resources/completion/lectoria-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
