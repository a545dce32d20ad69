# Run by CPack once the package's files are staged (CPACK_PRE_BUILD_SCRIPTS, set in
# ZimbarPackage.cmake): adds to the package's dependencies those of its binaries, as
# dpkg-shlibdeps finds them (the libraries of the package's own folder through $ORIGIN).
#
# CPack's own scan (CPACK_DEBIAN_PACKAGE_SHLIBDEPS) stays off: with it CPack also writes
# maintainer scripts that run ldconfig for any library below /usr/lib, and lib/zimbar/ is
# a private folder that ldconfig never reads.
set(root "${CPACK_TEMPORARY_DIRECTORY}")
file(GLOB_RECURSE files LIST_DIRECTORIES false "${root}/*")
set(binaries)
foreach(file IN LISTS files)
  if(NOT IS_SYMLINK "${file}")
    file(READ "${file}" magic LIMIT 4 HEX)
    if(magic STREQUAL "7f454c46")
      file(RELATIVE_PATH relative "${root}" "${file}")
      list(APPEND binaries "${relative}")
    endif()
  endif()
endforeach()
if(NOT binaries)
  message(FATAL_ERROR "ZimbarPackageDepends: no binaries in ${root}")
endif()
# dpkg-shlibdeps reads debian/control, and knows the package's root by its DEBIAN folder.
file(WRITE "${root}/debian/control" "")
file(MAKE_DIRECTORY "${root}/DEBIAN")
execute_process(COMMAND dpkg-shlibdeps --ignore-missing-info -O ${binaries}
  WORKING_DIRECTORY "${root}"
  OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE result
  OUTPUT_STRIP_TRAILING_WHITESPACE)
file(REMOVE_RECURSE "${root}/debian" "${root}/DEBIAN")
if(NOT result EQUAL 0 OR NOT output MATCHES "^shlibs:Depends=(.+)$")
  message(FATAL_ERROR "dpkg-shlibdeps failed on ${binaries}:\n${errors}")
endif()
if(CPACK_DEBIAN_PACKAGE_DEPENDS)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CPACK_DEBIAN_PACKAGE_DEPENDS}, ${CMAKE_MATCH_1}")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CMAKE_MATCH_1}")
endif()
