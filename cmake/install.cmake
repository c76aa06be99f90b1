# What a desktop installs: the program, its menu entry, its icons, its AppStream metainfo and
# the documents a Debian package carries. Nothing of the tests, benchmarks or fuzzers.
include(GNUInstallDirs)

set(TARNWICK_APP_ID example.tarnwick.Tarnwick)
set(TARNWICK_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

install(TARGETS tarnwick RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${TARNWICK_PACKAGING_DIR}/${TARNWICK_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TARNWICK_PACKAGING_DIR}/${TARNWICK_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${TARNWICK_PACKAGING_DIR}/icons/${TARNWICK_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
    install(FILES ${TARNWICK_PACKAGING_DIR}/icons/${size}/${TARNWICK_APP_ID}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# Debian wants the manual page and the changelog compressed, without a time stamp.
find_program(GZIP gzip REQUIRED)
set(TARNWICK_DOCS_DIR ${PROJECT_BINARY_DIR}/docs)
foreach(doc tarnwick.1 changelog)
    add_custom_command(OUTPUT ${TARNWICK_DOCS_DIR}/${doc}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${TARNWICK_DOCS_DIR}
        COMMAND ${GZIP} -9nc ${TARNWICK_PACKAGING_DIR}/${doc} > ${TARNWICK_DOCS_DIR}/${doc}.gz
        DEPENDS ${TARNWICK_PACKAGING_DIR}/${doc} VERBATIM)
endforeach()
add_custom_target(tarnwick_docs ALL
    DEPENDS ${TARNWICK_DOCS_DIR}/tarnwick.1.gz ${TARNWICK_DOCS_DIR}/changelog.gz)
install(FILES ${TARNWICK_DOCS_DIR}/tarnwick.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${TARNWICK_DOCS_DIR}/changelog.gz ${TARNWICK_PACKAGING_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarnwick)

# scripts/package: build/tarnwick_<version>_amd64.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tarnwick developers")
set(CPACK_PACKAGE_CONTACT "The Tarnwick developers <maintainers@tarnwick.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn a long web address into a short link")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Tarnwick is a small desktop tool with one window: paste a long web\n"
    "address, choose one of three URL-shortening services, press Generate\n"
    "and copy the short link to the clipboard.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://${TARNWICK_MAKER_HOST}/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's captions are Chinese; without a CJK font they show as boxes.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk")
# Where no X server runs (a Wayland session without Xwayland) the window opens natively on the
# compositor through Qt's Wayland plugin; with an X server it is not needed.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR})
include(CPack)
