# Desktop integration on Linux and the BSDs: `cmake --install` puts the menu entry and the window
# icon in the standard places of the freedesktop.org menus and icon theme (the two programs are
# installed by src/app). The PNG sizes are rendered from the SVG by tools/render_icons.cpp.
if(WIN32 OR APPLE)
    return()
endif()
include(GNUInstallDirs)
install(FILES ${PROJECT_SOURCE_DIR}/resources/lectoria.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 32 48 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/lectoria-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME lectoria.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/resources/lectoria.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
