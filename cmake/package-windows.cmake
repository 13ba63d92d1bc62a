# The Windows release package: one folder dorv-launcher/ holding the program,
# the Qt DLLs it links, the platform and style plugins, Qt's Russian
# translation and the MinGW runtime the Qt DLLs need, laid out as Qt's
# deployment tool does (a cross build has no such tool). cpack -G ZIP makes
# dist/dorv-launcher-<version>-windows-x64.zip of it.
set(DORV_PACKAGE_DIR dorv-launcher)
install(TARGETS dorv-launcher RUNTIME DESTINATION ${DORV_PACKAGE_DIR} COMPONENT package)
foreach(module Core Gui Widgets)
  install(FILES $<TARGET_FILE:Qt6::${module}> DESTINATION ${DORV_PACKAGE_DIR} COMPONENT package)
endforeach()
# Pictures are PNG, which Qt reads without a plugin, so no image plugin is
# shipped.
install(FILES ${DORV_QT_WINDOWS}/plugins/platforms/qwindows.dll
  DESTINATION ${DORV_PACKAGE_DIR}/platforms COMPONENT package)
install(FILES ${DORV_QT_WINDOWS}/plugins/styles/qwindowsvistastyle.dll
  DESTINATION ${DORV_PACKAGE_DIR}/styles COMPONENT package)
# The program carries the translation in its resources; the file beside it
# is where Qt's deployment puts it, for tools that look there.
install(FILES ${DORV_QT_TRANSLATION} DESTINATION ${DORV_PACKAGE_DIR}/translations COMPONENT package)
# What a user reads first: the oldest Windows the program starts on, and
# where it keeps its state.
install(FILES ${PROJECT_SOURCE_DIR}/share/windows/README.txt DESTINATION ${DORV_PACKAGE_DIR} COMPONENT package)
execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/mingw-runtime
  OUTPUT_VARIABLE mingw_runtime OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "\n" ";" mingw_runtime "${mingw_runtime}")
install(FILES ${mingw_runtime} DESTINATION ${DORV_PACKAGE_DIR} COMPONENT package)
# Every shipped binary without its debug sections: CPack strips only what
# install(TARGETS) installs, and the Qt DLLs and the MinGW runtime come with
# theirs (libstdc++-6.dll: 23.7 MB, 2 MB stripped). Runs after the copies
# above, on the installed files.
install(CODE "
  file(GLOB_RECURSE binaries \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${DORV_PACKAGE_DIR}/*.dll\"
       \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${DORV_PACKAGE_DIR}/*.exe\")
  foreach(binary IN LISTS binaries)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \"\${binary}\" COMMAND_ERROR_IS_FATAL ANY)
  endforeach()" COMPONENT package)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME dorv-launcher)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME dorv-launcher-${PROJECT_VERSION}-windows-x64)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_SOURCE_DIR}/dist)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_COMPONENTS_ALL package)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
include(CPack)
