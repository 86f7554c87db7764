# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# The Debian package: `cpack -G DEB` in a build directory (scripts/package.sh does it all).
# Libraries the program links are found by dpkg-shlibdeps; what it loads at run time without
# linking it (the X11 platform plugin; libsecret, through which the keyring library reaches the
# desktop keyring) is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvo)
set(CPACK_PACKAGE_VENDOR "Kelvo project")
set(CPACK_PACKAGE_CONTACT "Kelvo developers <kelvo@example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://kelvo.example.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "unattended mail forwarder for a mobile phone")
# Lines under 80 characters, as Debian's tools show them.
set(CPACK_PACKAGE_DESCRIPTION
  "Kelvo looks into your Inbox at a fixed interval and forwards each new\n"
  "message to your mobile phone, shaped for a small screen and split into\n"
  "numbered parts when long. The phone can ask by mail for a list of the\n"
  "Inbox subjects, for messages from that list, and can end Kelvo and power\n"
  "the computer off. The user interface is Japanese.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libsecret-1-0")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "default-mta | mail-transport-agent, fetchmail")

# What Debian asks of every package: the copyright in its machine-readable form and the
# changelog, compressed without a time stamp. The version has no Debian revision: the package is
# native, so its changelog is changelog.gz. Both are installed by any install, as the licence
# belongs with the program.
set(KELVO_CHANGELOG_GZ ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_command(
  OUTPUT ${KELVO_CHANGELOG_GZ}
  COMMAND gzip -9 -n -c ${CMAKE_CURRENT_LIST_DIR}/debian/changelog > ${KELVO_CHANGELOG_GZ}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/debian/changelog
  COMMENT "Compressing the changelog")
add_custom_target(kelvo_changelog ALL DEPENDS ${KELVO_CHANGELOG_GZ})
add_dependencies(kelvo kelvo_changelog)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${KELVO_CHANGELOG_GZ}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kelvo)

include(CPack)
