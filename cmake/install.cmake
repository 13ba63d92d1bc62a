# Desktop integration: a menu entry and its icon where freedesktop desktops
# look for them. The icon is the window's own, so menu and window match.
if(NOT WIN32 AND NOT DORV_CORE_ONLY)
  include(GNUInstallDirs)
  install(FILES ${PROJECT_SOURCE_DIR}/share/dorv-launcher.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/app/pictures/icon.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
    RENAME dorv-launcher.svg)
endif()
