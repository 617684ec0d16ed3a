# Install rules and packages.
#
#   cmake --install <build> --prefix <dir>   bin/rud (bin/rud.exe), and on Linux
#                                            share/man/man1/rud.1
#   cpack --preset native                    build/native/packages/rud_<version>-<release>_<arch>.deb
#   cpack --preset win32                     build/win32/packages/rud-<version>-win32.zip
#                                            and rud-<version>-win32.SHA256SUMS beside it
#
# The packages lay their files out differently from a plain install, so each
# has a component of its own that a plain install leaves out (EXCLUDE_FROM_ALL)
# and CPack takes instead.
include(GNUInstallDirs)

install(TARGETS rud RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT rud)
if(NOT WIN32)
  # A stripped install (cmake --install --strip, and every package) also loses
  # the .comment and .note sections, as Debian's dh_strip leaves a program:
  # they hold only the compiler's name and version.
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(
        COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment --remove-section=.note
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/rud\"
        RESULT_VARIABLE status)
      if(NOT status EQUAL 0)
        message(FATAL_ERROR \"objcopy could not remove rud's .comment and .note sections\")
      endif()
    endif()" COMPONENT rud)
endif()

set(CPACK_PACKAGE_NAME rud)
set(CPACK_PACKAGE_VENDOR ZARVEK)
set(CPACK_PACKAGE_CONTACT "ZARVEK <soporte@zarvek.example>")
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
onto host folders through RUD_DRIVE_<letter> and RUD_UNC_ROOT; the install
root is /opt/ZARVEK unless RUD_DRIVE_C names another folder for drive C:.]=])
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_VERBATIM_VARIABLES ON)
# One package, of the components listed for it below.
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)

if(WIN32)
  # One folder, rud-<version>-win32: rud.exe, lanzar.cmd that starts the
  # rud.exe beside it, registrar-eventos.cmd that registers the event source
  # with rud.exe's message table, the administrators' LEEME.txt (Spanish and English;
  # the developers' README.md is of no use on a workstation) and SHA256SUMS.
  # cmd.exe can miss the labels of a batch file whose lines end in LF alone,
  # and Notepad before Windows 10 shows LF-only text as one line, so both
  # texts are shipped with CR LF. LEEME.txt starts with a UTF-8 byte order
  # mark: without it, older Notepads read its accents in the ANSI code page.
  configure_file(examples/lanzar.cmd ${PROJECT_BINARY_DIR}/zip/lanzar.cmd @ONLY NEWLINE_STYLE CRLF)
  configure_file(examples/registrar-eventos.cmd ${PROJECT_BINARY_DIR}/zip/registrar-eventos.cmd @ONLY
    NEWLINE_STYLE CRLF)
  configure_file(docs/LEEME.txt ${PROJECT_BINARY_DIR}/zip/LEEME.txt @ONLY NEWLINE_STYLE CRLF)
  # SHA256SUMS is made with the build, from the very files the ZIP takes:
  # rud.exe is linked stripped (-s) and not stripped again by CPack, so its
  # sum holds. CPack copies it beside the ZIP once the ZIP is made.
  target_link_options(rud PRIVATE -s)
  set(rud_zip_files ${PROJECT_BINARY_DIR}/zip/LEEME.txt ${PROJECT_BINARY_DIR}/zip/lanzar.cmd
    ${PROJECT_BINARY_DIR}/zip/registrar-eventos.cmd $<TARGET_FILE:rud>)
  set(rud_zip_sums ${PROJECT_BINARY_DIR}/zip/SHA256SUMS)
  add_custom_command(OUTPUT ${rud_zip_sums}
    COMMAND ${CMAKE_COMMAND} -DRUD_SUMS_OUTPUT=${rud_zip_sums} "-DRUD_SUMS_FILES=${rud_zip_files}"
            -P ${PROJECT_SOURCE_DIR}/cmake/zip_sums.cmake
    DEPENDS rud ${PROJECT_BINARY_DIR}/zip/LEEME.txt ${PROJECT_BINARY_DIR}/zip/lanzar.cmd
            ${PROJECT_BINARY_DIR}/zip/registrar-eventos.cmd
            ${PROJECT_SOURCE_DIR}/cmake/zip_sums.cmake
    COMMENT "SHA256SUMS of the ZIP's files"
    VERBATIM)
  add_custom_target(rud_zip_sums ALL DEPENDS ${rud_zip_sums})
  install(TARGETS rud RUNTIME DESTINATION . COMPONENT zip EXCLUDE_FROM_ALL)
  install(FILES ${PROJECT_BINARY_DIR}/zip/LEEME.txt ${PROJECT_BINARY_DIR}/zip/lanzar.cmd
    ${PROJECT_BINARY_DIR}/zip/registrar-eventos.cmd ${rud_zip_sums} DESTINATION . COMPONENT zip
    EXCLUDE_FROM_ALL)
  set(CPACK_STRIP_FILES OFF)
  set(CPACK_RUD_ZIP_SUMS ${rud_zip_sums})
  set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/zip_sums.cmake)

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

  # Debian's own files of a package: the copyright file (machine-readable)
  # and the package's changelog, compressed as the manual page is. The
  # package has a Debian revision of its own, since rud is not a Debian
  # program: a rebuild of the same rud is 12.6-2.
  set(RUD_DEB_RELEASE 1)
  set(RUD_DEB_VERSION ${PROJECT_VERSION}-${RUD_DEB_RELEASE})
  configure_file(cmake/deb/changelog ${PROJECT_BINARY_DIR}/deb/changelog.Debian @ONLY)
  set(rud_changelog_gz ${PROJECT_BINARY_DIR}/deb/changelog.Debian.gz)
  add_custom_command(OUTPUT ${rud_changelog_gz}
    COMMAND ${RUD_GZIP} -9nkf ${PROJECT_BINARY_DIR}/deb/changelog.Debian
    DEPENDS ${PROJECT_BINARY_DIR}/deb/changelog.Debian
    COMMENT "Compressing the Debian changelog"
    VERBATIM)
  add_custom_target(rud_changelog_gz ALL DEPENDS ${rud_changelog_gz})
  install(FILES cmake/deb/copyright ${rud_changelog_gz} DESTINATION ${CMAKE_INSTALL_DOCDIR}
    COMPONENT deb EXCLUDE_FROM_ALL)
  # lintian's one remark that does not apply here, with the reason.
  install(FILES cmake/deb/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
    RENAME rud COMPONENT deb EXCLUDE_FROM_ALL)

  set(CPACK_GENERATOR DEB)
  set(CPACK_COMPONENTS_ALL rud deb)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_RELEASE ${RUD_DEB_RELEASE})
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "ZARVEK <soporte@zarvek.example>")
  # The shared libraries it links, as dpkg-shlibdeps finds them: the C
  # library only. The C++ runtime (libstdc++, libgcc) is linked into the
  # program on purpose, against Debian's usual practice: rud runs before
  # every program of the suite starts, and loading and binding libstdc++ as
  # a shared library made a run with nothing to update about 40% slower
  # (1.64 ms against 1.16 ms; bench/results.md, "C++ runtime shared").
  # The cost is that a fix to libstdc++ reaches rud only with a rebuild of
  # this package.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
