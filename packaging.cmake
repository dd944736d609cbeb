# The Debian package (scripts/package): runtime dependencies from dpkg-shlibdeps; the
# desktop's caches (menu, MIME types, icons) are refreshed by the triggers of the packages
# that own them, so the package needs no maintainer scripts.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvelle)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Corvelle developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "mail client that keeps mail as plain-text files")
set(CPACK_PACKAGE_DESCRIPTION "Corvelle keeps mail in an ordinary folder tree, one plain-text file per
message. It fetches mail over POP3, files it by filter rules, sends it over
SMTP, keeps address books, imports and exports mailbox files, and opens
mailto: links.")
set(CPACK_PACKAGE_CONTACT "${CORVELLE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CORVELLE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${CORVELLE_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Opening the desktop's programs for folders, files and links; the keyring library the
# keychain loads only when it runs (without it, passwords stay in the settings file). Native
# Wayland windows pull in Qt Quick, so they are only suggested: XWayland shows the program as well.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, shared-mime-info, libsecret-1-0")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-wayland")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
include(CPack)
