# The Debian package, made by CPack's DEB generator from the install (scripts/package.sh).
# Its dependencies come from the installed binaries (dpkg-shlibdeps); mpg123 is added by
# hand because libout123 loads its output modules from that package at run time.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zimbar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "Zimbar developers <dev@zimbar.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "audio CD ripper, MP3/AAC converter and skinned player")
set(CPACK_PACKAGE_DESCRIPTION
    "The Zimbar audio toolkit: zbmaker rips audio CD tracks (jitter-corrected, normalized,\n"
    "named from CDDB, tagged) and converts WAV files to and from MP3 and AAC, in its window\n"
    "or in a terminal; zbplayer is a skinned player for MP3, AAC and WAV files and HTTP or\n"
    "FTP streams with a play list, an equalizer and tag editing; zbaacdec decodes AAC files\n"
    "with the toolkit's own decoder library.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The loadable libraries live in the package's own folder, where dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "mpg123")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${ZIMBAR_WEB_SITE})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
# Only what cmake --install lays out goes into the package; no test programs.
include(CPack)
