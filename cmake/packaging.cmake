# Install rules and packages.
#
#   cmake --install <build> --prefix <dir>   bin/rud (bin/rud.exe), and on Linux
#                                            share/man/man1/rud.1
#   cpack --preset native                    build/native/packages/rud_<version>_<arch>.deb
#   cpack --preset win32                     build/win32/packages/rud-<version>-win32.zip
#
# The packages lay their files out differently from a plain install, so each
# has a component of its own that a plain install leaves out (EXCLUDE_FROM_ALL)
# and CPack takes instead.
include(GNUInstallDirs)

install(TARGETS rud RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT rud)

set(CPACK_PACKAGE_NAME rud)
set(CPACK_PACKAGE_VENDOR ZARVEK)
set(CPACK_PACKAGE_CONTACT ZARVEK)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ZARVEK program update service")
set(CPACK_PACKAGE_DESCRIPTION [=[
rud keeps one program of the ZARVEK suite up to date on a workstation. Given
the folder of an update server and the code of a program, it finds the
program's executable on the server and under the install root C:\ZARVEK\,
shows the version of both copies and copies the server copy over the local
one when it is strictly newer or the local copy is missing. Its exit code
tells the calling script whether the run failed.
.
This build runs on Linux, where Windows drive and network paths are mapped
onto host folders through RUD_DRIVE_<letter> and RUD_UNC_ROOT.]=])
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_VERBATIM_VARIABLES ON)
# One package, of the components listed for it below.
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)

if(WIN32)
  # One folder, rud-<version>-win32: lanzar.cmd starts the rud.exe beside it.
  # cmd.exe can miss the labels of a batch file whose lines end in LF alone,
  # so the launcher is shipped with CR LF.
  configure_file(examples/lanzar.cmd ${PROJECT_BINARY_DIR}/zip/lanzar.cmd @ONLY NEWLINE_STYLE CRLF)
  install(TARGETS rud RUNTIME DESTINATION . COMPONENT zip EXCLUDE_FROM_ALL)
  install(FILES README.md ${PROJECT_BINARY_DIR}/zip/lanzar.cmd DESTINATION . COMPONENT zip EXCLUDE_FROM_ALL)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win32)
  set(CPACK_COMPONENTS_ALL zip)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
else()
  install(FILES docs/rud.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT man)

  # Debian keeps its manual pages compressed, without the name and time stamp
  # that would make two builds of the same page differ.
  find_program(RUD_GZIP gzip REQUIRED)
  set(rud_man_gz ${PROJECT_BINARY_DIR}/man/rud.1.gz)
  add_custom_command(OUTPUT ${rud_man_gz}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/docs/rud.1 ${PROJECT_BINARY_DIR}/man/rud.1
    COMMAND ${RUD_GZIP} -9nf ${PROJECT_BINARY_DIR}/man/rud.1
    DEPENDS ${PROJECT_SOURCE_DIR}/docs/rud.1
    COMMENT "Compressing the manual page"
    VERBATIM)
  add_custom_target(rud_man_gz ALL DEPENDS ${rud_man_gz})

  install(FILES ${rud_man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT deb EXCLUDE_FROM_ALL)
  install(PROGRAMS examples/lanzar.sh DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
    COMPONENT deb EXCLUDE_FROM_ALL)

  set(CPACK_GENERATOR DEB)
  set(CPACK_COMPONENTS_ALL rud deb)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The C and C++ runtime libraries it links, as dpkg-shlibdeps finds them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
