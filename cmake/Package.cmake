# The Debian package: cmake --build build --target package makes breezel_1.0_<arch>.deb.
#   /usr/libexec/breezel/     the program folder, read-only (laid out by qt/CMakeLists.txt)
#   /usr/bin/breezel          the launcher, which gives each user a program folder of their own
#   /usr/share/applications/  the menu entry; /usr/share/icons/hicolor/ its icons
# Its files are the install component "package", left out of a plain cmake --install, which
# lays out a program folder at the prefix itself (scripts/install).
set(package_files COMPONENT package EXCLUDE_FROM_ALL)
install(PROGRAMS ${PROJECT_SOURCE_DIR}/packaging/breezel DESTINATION bin ${package_files})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/breezel.desktop DESTINATION share/applications
        ${package_files})
install(FILES ${PROJECT_SOURCE_DIR}/assets/design/breezel.png
        DESTINATION share/icons/hicolor/32x32/apps ${package_files})
install(FILES ${PROJECT_SOURCE_DIR}/assets/design/breezel-256.png
        DESTINATION share/icons/hicolor/256x256/apps RENAME breezel.png ${package_files})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME breezel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "mail notifier that rings a wind chime on new POP3 mail")
set(CPACK_PACKAGE_DESCRIPTION
    "Breezel watches a POP3 mailbox and, when mail arrives, shows a notice board and rings a wind chime. Its interface is Japanese.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Breezel developers <breezel@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries the program links come from dpkg-shlibdeps; these it loads by other ways: Qt's
# Japanese texts, GStreamer's WAV reader for the chime, a Japanese font.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-translations-l10n, gstreamer1.0-plugins-good, fonts-noto-cjk | fonts-ipafont-gothic")
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL package)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
include(CPack)
