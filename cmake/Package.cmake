# The Debian package: cmake --build build --target package makes breezel_1.0_<arch>.deb;
# scripts/package builds it as Debian would (hardened, reproducible).
#   /usr/libexec/breezel/     the program folder, read-only (laid out by qt/CMakeLists.txt)
#   /usr/bin/breezel          the launcher, which gives each user a program folder of their own
#   /usr/share/applications/  the menu entry; /usr/share/icons/hicolor/ its icons
#   /usr/share/metainfo/      the listing for software centres
#   /usr/share/doc/breezel/   changelog and copyright; /usr/share/man/man1/ the manual page
# Its files are the install component "package", left out of a plain cmake --install, which
# lays out a program folder at the prefix itself (scripts/install).
set(packaging ${PROJECT_SOURCE_DIR}/packaging)
# The desktop entry and the metainfo are named by it; its domain is a placeholder.
set(BREEZEL_APP_ID invalid.breezel.Breezel)

# The version, the maintainer and the release date come from the changelog; the metainfo names
# the same release.
file(STRINGS ${packaging}/changelog changelog_head LIMIT_COUNT 1)
file(STRINGS ${packaging}/changelog changelog_trailers REGEX "^ -- ")
list(GET changelog_trailers 0 changelog_trailer)
string(REGEX REPLACE "^ -- (.*>)  .*" "\\1" package_maintainer "${changelog_trailer}")
if(NOT changelog_head MATCHES "^breezel \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog: the first entry is not version ${PROJECT_VERSION}")
endif()
file(READ ${packaging}/${BREEZEL_APP_ID}.metainfo.xml metainfo)
if(NOT metainfo MATCHES "<release version=\"${PROJECT_VERSION}\"")
    message(FATAL_ERROR "packaging/${BREEZEL_APP_ID}.metainfo.xml: no release ${PROJECT_VERSION}")
endif()

set(package_files COMPONENT package EXCLUDE_FROM_ALL)
install(PROGRAMS ${packaging}/breezel DESTINATION bin ${package_files})
install(FILES ${packaging}/${BREEZEL_APP_ID}.desktop DESTINATION share/applications
        ${package_files})
install(FILES ${packaging}/${BREEZEL_APP_ID}.metainfo.xml DESTINATION share/metainfo
        ${package_files})
install(FILES ${PROJECT_SOURCE_DIR}/assets/design/breezel.png
        DESTINATION share/icons/hicolor/32x32/apps ${package_files})
install(FILES ${PROJECT_SOURCE_DIR}/assets/design/breezel-256.png
        DESTINATION share/icons/hicolor/256x256/apps RENAME breezel.png ${package_files})
install(FILES ${packaging}/copyright DESTINATION share/doc/breezel ${package_files})

# Compressed as Debian wants them: at most, and without the file's name and time, so that two
# builds give the same bytes.
set(package_docs ${CMAKE_BINARY_DIR}/package)
set(compressed)
foreach(doc changelog breezel.1)
    add_custom_command(
        OUTPUT ${package_docs}/${doc}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${package_docs}
        COMMAND sh -c "gzip -9n <\"$0\" >\"$1\"" ${packaging}/${doc} ${package_docs}/${doc}.gz
        DEPENDS ${packaging}/${doc}
        VERBATIM)
    list(APPEND compressed ${package_docs}/${doc}.gz)
endforeach()
add_custom_target(breezel_package_docs ALL DEPENDS ${compressed})
install(FILES ${package_docs}/changelog.gz DESTINATION share/doc/breezel ${package_files})
install(FILES ${package_docs}/breezel.1.gz DESTINATION share/man/man1 ${package_files})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME breezel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "mail notifier that rings a wind chime on new mail")
# The lines of Debian's extended description: with the space put before each, at most 80
# characters.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Breezel watches one POP3 or IMAP mailbox from a tiny window with a turning"
    "electric fan. When a check finds mail, it rings a wind chime, swings a"
    "wind-chime window on the desktop and shows a notice board with the number of"
    "messages, or starts the user's own mail program instead."
    ""
    "It checks every few minutes or only by hand, over POP3 (STLS, POP3S, APOP) or"
    "IMAP (STARTTLS, IMAPS), where IMAP IDLE announces new mail the moment it"
    "arrives. It can live in the notification area and can hang up dial-up"
    "connections after a check. Its windows and messages are in Japanese.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${package_maintainer}")
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries the program links come from dpkg-shlibdeps; these it loads by other ways: Qt's
# Japanese texts, GStreamer's WAV reader for the chime, a Japanese font.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-translations-l10n, gstreamer1.0-plugins-good, fonts-noto-cjk | fonts-ipafont-gothic")
# QtKeychain reaches the desktop's keyring through libsecret, which it loads when it is there;
# without it the sign-in's refresh tokens are kept in a file only the user may read.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsecret-1-0")
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL package)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
include(CPack)
