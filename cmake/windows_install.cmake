# What Windows users get: the program alone in a portable zip, and an NSIS installer with a
# Start-menu shortcut, an uninstaller and an "Apps & features" entry, for the current user unless
# all users are asked for (cmake/NSIS.template.in, which CPack takes from the module path).
install(TARGETS tarnwick RUNTIME DESTINATION .)

set(CPACK_PACKAGE_NAME "Tarnwick")
set(CPACK_PACKAGE_VENDOR "tarnwick.example")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Long web addresses to short links")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Tarnwick")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Tarnwick")
set(CPACK_PACKAGE_FILE_NAME "tarnwick-${PROJECT_VERSION}-win32")
set(CPACK_GENERATOR "NSIS;ZIP")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_NSIS_DISPLAY_NAME "Tarnwick")
set(CPACK_NSIS_PACKAGE_NAME "Tarnwick")
set(CPACK_NSIS_INSTALLED_ICON_NAME "tarnwick.exe")
set(CPACK_NSIS_MUI_ICON "${PROJECT_BINARY_DIR}/app/win32/tarnwick.ico")
set(CPACK_NSIS_MUI_UNIICON "${PROJECT_BINARY_DIR}/app/win32/tarnwick.ico")
# The installer keeps no file's date: CPack writes some of its files anew on every run, and the
# same commit must give the same installer.
set(CPACK_NSIS_DEFINES "SetDateSave off")
set(CPACK_NSIS_URL_INFO_ABOUT "http://tarnwick.example/")
# The installer is named apart from the zip.
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_SOURCE_DIR}/cmake/windows_package_names.cmake")
list(PREPEND CMAKE_MODULE_PATH "${PROJECT_SOURCE_DIR}/cmake")
include(CPack)
