# The Debian package (cmake --build BUILD --target package): both programs
# and the help pages in /usr/lib/vantor (the window finds its help beside
# itself), commands in /usr/bin, the coverage runtime, the menu entry and its
# icon, the manual pages, the copyright and the changelog (of a native
# package: the project is its own upstream).
include(GNUInstallDirs)
set(VANTOR_LIBDIR lib/vantor)

install(TARGETS vantor-cli RUNTIME DESTINATION ${VANTOR_LIBDIR})
install(FILES runtime/vantor_cov.c DESTINATION share/vantor/runtime)
install(FILES packaging/vantor.desktop DESTINATION share/applications)
install(FILES packaging/vantor.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES packaging/copyright DESTINATION share/doc/vantor)

set(VANTOR_PKG_DIR ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${VANTOR_PKG_DIR})
set(VANTOR_BIN_LINKS vantor-cli)
if(VANTOR_UI)
  list(APPEND VANTOR_BIN_LINKS vantor)
endif()
foreach(prog ${VANTOR_BIN_LINKS})
  file(CREATE_LINK ../lib/vantor/${prog} ${VANTOR_PKG_DIR}/${prog} SYMBOLIC)
  install(FILES ${VANTOR_PKG_DIR}/${prog} DESTINATION bin)
  # Compressed the way Debian wants: best, and no name or time inside.
  add_custom_command(OUTPUT ${VANTOR_PKG_DIR}/${prog}.1.gz
    COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/packaging/${prog}.1 > ${VANTOR_PKG_DIR}/${prog}.1.gz
    DEPENDS packaging/${prog}.1)
  list(APPEND VANTOR_PKG_GZ ${VANTOR_PKG_DIR}/${prog}.1.gz)
  install(FILES ${VANTOR_PKG_DIR}/${prog}.1.gz DESTINATION share/man/man1)
endforeach()
add_custom_command(OUTPUT ${VANTOR_PKG_DIR}/changelog.gz
  COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/packaging/changelog > ${VANTOR_PKG_DIR}/changelog.gz
  DEPENDS packaging/changelog)
list(APPEND VANTOR_PKG_GZ ${VANTOR_PKG_DIR}/changelog.gz)
install(FILES ${VANTOR_PKG_DIR}/changelog.gz DESTINATION share/doc/vantor)
add_custom_target(package_files ALL DEPENDS ${VANTOR_PKG_GZ})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "Belvane <vantor@belvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "code rule checker, reformatter and coverage tool for C, C++ and Java")
# CPack puts the summary first and indents these lines itself.
set(CPACK_PACKAGE_DESCRIPTION "Vantor checks the coding rules of C, C++ and Java sources (function size,
nesting, line length, braces, one instruction per line, forbidden words),
rewrites the sources by them, writes pseudo-code pages in HTML with
cross-reference pages, instruments the sources for branch coverage and
reports the coverage of their test runs.

The package holds the window (vantor), the command-line tool (vantor-cli),
the coverage runtime source and the help pages.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
