# Runs at install time (install(CODE) includes it): the menu entry names its
# start script, and the script the program, by full path, which is known only
# now (cmake --install --prefix, or /usr inside the Debian package).
set(prefix "${CMAKE_INSTALL_PREFIX}")
set(DORV_PROGRAM "${prefix}/${DORV_BINDIR}/dorv-launcher")
set(DORV_MENU_START "${prefix}/${DORV_LIBEXECDIR}/dorv-launcher/menu-start")
configure_file("${DORV_SHARE}/menu-start.in" "${DORV_STAGE}/menu-start" @ONLY)
configure_file("${DORV_SHARE}/dorv-launcher.desktop.in" "${DORV_STAGE}/dorv-launcher.desktop" @ONLY)
file(INSTALL "${DORV_STAGE}/menu-start" DESTINATION "${prefix}/${DORV_LIBEXECDIR}/dorv-launcher"
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
file(INSTALL "${DORV_STAGE}/dorv-launcher.desktop" DESTINATION "${prefix}/${DORV_DATADIR}/applications")
