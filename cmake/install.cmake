# Desktop integration: a menu entry and its icon where freedesktop desktops
# look for them, the AppStream description software centres show, the manual
# page and the copyright. The icon is the window's own, so menu and window
# match.
if(NOT WIN32 AND NOT DORV_CORE_ONLY)
  include(GNUInstallDirs)
  set(share ${PROJECT_SOURCE_DIR}/share)
  install(CODE "
    set(DORV_SHARE \"${share}\")
    set(DORV_STAGE \"${PROJECT_BINARY_DIR}/menu\")
    set(DORV_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
    set(DORV_LIBEXECDIR \"${CMAKE_INSTALL_LIBEXECDIR}\")
    set(DORV_DATADIR \"${CMAKE_INSTALL_DATADIR}\")
    include(\"${CMAKE_CURRENT_LIST_DIR}/install-menu.cmake\")")
  install(FILES ${PROJECT_SOURCE_DIR}/app/pictures/icon.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
    RENAME dorv-launcher.svg)
  install(FILES ${share}/metainfo/org.dorv.launcher.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  # Manual pages are kept compressed, without a time stamp in the header.
  set(man ${PROJECT_BINARY_DIR}/dorv-launcher.1.gz)
  add_custom_command(OUTPUT ${man}
    COMMAND gzip -9nc ${share}/dorv-launcher.1 > ${man}
    DEPENDS ${share}/dorv-launcher.1 VERBATIM)
  add_custom_target(manual_page ALL DEPENDS ${man})
  install(FILES ${man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${share}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/dorv-launcher)
endif()
