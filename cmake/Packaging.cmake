# The Debian package: `cmake --build build --target package` makes
# chronopurge_<version>_<architecture>.deb from the install rules, with the
# shared libraries it needs found by dpkg-shlibdeps (dpkg-dev and file:
# `scripts/deps.sh package` installs them).

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME chronopurge)
set(CPACK_PACKAGE_VENDOR Brindlewick)
set(CPACK_PACKAGE_CONTACT "Brindlewick <chronopurge@brindlewick.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find old files by date and send them to the Trash")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Chronopurge finds files by date in the folders you choose and sends the ones\n"
    "you check to the Trash. Pick folders and the date that counts (modified,\n"
    "created or accessed), pick a range, tick the files to act on, and send them\n"
    "to the Trash, save the list as text or copy it to the clipboard. Nothing is\n"
    "ever deleted for good. chronopurge-cli runs the same search from a terminal.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://brindlewick.example/chronopurge)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The layout is drawn for Arial's metrics (Liberation Sans has them), Qt's
# own translations speak the user's language in standard dialogs, xdg-open
# shows the sample folders in the file manager, and Qt's Wayland plugin opens
# the windows on a Wayland desktop without going through Xwayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, qt6-translations-l10n, qt6-wayland, xdg-utils")
# On Wayland, wl-copy keeps the copied text on the clipboard once the program
# has ended (on X11 chronopurge-keep-clipboard does).
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "wl-clipboard")
include(CPack)
