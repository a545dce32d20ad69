# The Debian package, made by CPack's DEB generator from the install (scripts/package.sh).
# Its dependencies come from the installed binaries (dpkg-shlibdeps, in
# ZimbarPackageDepends.cmake); mpg123 is added by hand because libout123 loads its output
# modules from that package at run time.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zimbar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "Zimbar developers <dev@zimbar.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "audio CD ripper, MP3/AAC converter and skinned player")
# One string (a list would join its parts with ';'), lines short enough for the control
# file's description (at most 79 columns with the blank CPack puts before each).
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "The Zimbar audio toolkit: zbmaker rips audio CD tracks (jitter-corrected,\n"
  "normalized, named from CDDB, tagged) and converts WAV files to and from MP3\n"
  "and AAC, in its window or in a terminal; zbplayer is a skinned player for\n"
  "MP3, AAC and WAV files and HTTP or FTP streams with a play list, an equalizer\n"
  "and tag editing; zbskinview shows a skin without playing; zbaacdec decodes\n"
  "AAC files with the toolkit's own decoder library.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The dependencies of the binaries are added once the files are staged (see there).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/ZimbarPackageDepends.cmake)
# libcurl and libpulse are loaded by name when a lookup, a stream or an output first needs
# them, so no binary names them for the scan: they are listed here.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "mpg123, libcurl4 (>= 7.68.0), libpulse0")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${ZIMBAR_WEB_SITE})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
# Only what cmake --install lays out goes into the package; no test programs.
include(CPack)
