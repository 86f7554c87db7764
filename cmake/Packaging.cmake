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
set(CPACK_PACKAGE_DESCRIPTION
  "Kelvo looks into your Inbox at a fixed interval and forwards each new message to your\n"
  "mobile phone, shaped for a small screen and split into numbered parts when long. The\n"
  "phone can ask by mail for a list of the Inbox subjects, for messages from that list,\n"
  "and can end Kelvo and power the computer off. The user interface is Japanese.")
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

include(CPack)
