# The Linux program's installed files, and its Debian package (`cpack --preset deb`):
#   bin/codeshift, share/man/man1/codeshift.1.gz,
#   share/doc/codeshift/{readme.html, copyright, changelog.gz}
# Debian keeps manual pages and changelogs compressed without a name or a time stamp, so that
# the same sources always give the same files.
find_program(CODESHIFT_GZIP gzip REQUIRED)
set(CODESHIFT_MAN_PAGE ${CMAKE_CURRENT_BINARY_DIR}/codeshift.1.gz)
set(CODESHIFT_CHANGELOG ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${CODESHIFT_MAN_PAGE}
  COMMAND ${CODESHIFT_GZIP} -9nc ${CMAKE_CURRENT_SOURCE_DIR}/docs/codeshift.1 > ${CODESHIFT_MAN_PAGE}
  DEPENDS docs/codeshift.1 VERBATIM)
add_custom_command(OUTPUT ${CODESHIFT_CHANGELOG}
  COMMAND ${CODESHIFT_GZIP} -9nc ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog > ${CODESHIFT_CHANGELOG}
  DEPENDS packaging/changelog VERBATIM)
add_custom_target(codeshift_documents ALL DEPENDS ${CODESHIFT_MAN_PAGE} ${CODESHIFT_CHANGELOG})

# The package's changelog names the version it describes; it must be this one.
file(STRINGS packaging/changelog CODESHIFT_CHANGELOG_HEAD LIMIT_COUNT 1)
if(NOT CODESHIFT_CHANGELOG_HEAD MATCHES "^codeshift \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog does not begin with version ${PROJECT_VERSION}")
endif()

install(FILES ${CODESHIFT_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES docs/readme.html ${CODESHIFT_CHANGELOG} DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
if(CODESHIFT_STATIC_RUNTIME)
  install(FILES packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
          RENAME codeshift)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME codeshift)
set(CPACK_PACKAGE_VENDOR "codeshift developers")
set(CPACK_PACKAGE_CONTACT "codeshift developers <codeshift@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert text files between Unicode forms and code pages")
# One string: Debian wants the extended description in lines of at most 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "codeshift converts one text file from one encoding to another: UTF-8, UTF-16\n"
  "and UTF-32 in both byte orders, with or without a byte order mark, and a fixed\n"
  "set of single-byte code pages (the Windows pages 1250 to 1258, DOS 437 and 866,\n"
  "KOI8-R, KOI8-U and parts of ISO 8859). It can also only recognise a file's\n"
  "encoding and report it through its exit code, and keeps an optional log of its\n"
  "runs.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
