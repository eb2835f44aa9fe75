# The Debian package, made by CPack from the install rules: `cpack -G DEB` in the build folder
# writes quillon-reader_VERSION_ARCH.deb there (./dev.sh package). The libraries it needs come from
# the programs themselves (dpkg-shlibdeps), and with them Qt's X11 plugin, which libqt6gui6 holds.
# What the programs use without linking it is named here: espeak-ng's voices and a font for the
# window (the window's faces fall back to Liberation and DejaVu). Recommended: a sound server, the
# Wayland plugin (qt6-wayland), xdg-utils for the links, and the Liberation faces the layout was
# measured with. Build the package with QUILLON_DEBIAN_FLAGS=ON (./dev.sh package) so the programs
# carry Debian's hardening.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon-reader)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reads a comic novel aloud, each character in its own voice")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Quillon Reader developers <author@quillonfenwright.net>")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://quillonfenwright.net/)
# CPack puts the summary first and indents these lines as the Debian control file wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Quillon Reader shows the comic novel the Blithe Wanderings of Quillon
Fenwright in a window and reads it aloud line by line through espeak-ng,
highlighting the line being read. Every line is narration or one of 36
characters, each with a voice of its own; words a speech engine would get
wrong are rewritten first. It keeps one bookmark, prints the novel and
enlarges its font.

quillon-tool runs the same engine from the command line and renders the
novel as audio files, one per chapter (WAV, FLAC or Ogg Vorbis).")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "espeak-ng-data, fonts-liberation2 | fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "pipewire-pulse | pulseaudio, qt6-wayland, xdg-utils, fonts-liberation2, fonts-dejavu-core")
include(CPack)
