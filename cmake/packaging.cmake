# Install rules and the two packages users install:
#   Linux:   loadhawk_<version>-<revision>_amd64.deb  (/usr/bin/loadhawk, the
#            systemd unit, the manual page, logrotate rule, examples; the
#            system user loadhawk and /etc/loadhawk come from its postinst)
#   Windows: loadhawk-<version>-win64.zip  (loadhawk.exe, the examples, a
#            Windows README, text in CRLF; the exe installs itself as a service)
# The version is the project's, set once at the top of CMakeLists.txt; every
# file below that names it is configured from it.

set(CPACK_PACKAGE_NAME loadhawk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "loadhawk maintainers")
set(CPACK_PACKAGE_CONTACT "loadhawk maintainers <maintainers@loadhawk.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "CPU and memory load monitor with e-mail and Telegram alerts")
# the installed files lose their symbols (the build folder keeps them)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # text files in Windows line ends, the version filled in where named
  set(lh_crlf_dir ${CMAKE_BINARY_DIR}/crlf)
  foreach(pair "examples/loadhawk_setup.txt;loadhawk_setup.txt"
               "examples/loadhawk_email.txt;loadhawk_email.txt"
               "packaging/windows/README.txt.in;README.txt")
    list(GET pair 0 lh_source)
    list(GET pair 1 lh_target)
    configure_file(${CMAKE_SOURCE_DIR}/${lh_source} ${lh_crlf_dir}/${lh_target} @ONLY NEWLINE_STYLE CRLF)
    install(FILES ${lh_crlf_dir}/${lh_target} DESTINATION .)
  endforeach()
  install(TARGETS loadhawk RUNTIME DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME loadhawk-${PROJECT_VERSION}-win64)
  # the files at the zip's top level: unpacked into C:\loadhawk they stand
  # where the README expects them
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  set(lh_deb_dir ${CMAKE_BINARY_DIR}/debian)
  set(lh_doc share/doc/loadhawk)

  # the manual page, from its scdoc source, gzipped as Debian wants it
  find_program(LH_SCDOC scdoc)
  find_program(LH_GZIP gzip)
  configure_file(packaging/man/loadhawk.1.scd.in ${lh_deb_dir}/loadhawk.1.scd @ONLY)
  if(LH_SCDOC)
    add_custom_command(OUTPUT ${lh_deb_dir}/loadhawk.1.gz
      COMMAND ${LH_SCDOC} < loadhawk.1.scd > loadhawk.1
      COMMAND ${LH_GZIP} -9nf loadhawk.1
      DEPENDS ${lh_deb_dir}/loadhawk.1.scd
      WORKING_DIRECTORY ${lh_deb_dir}
      COMMENT "Manual page loadhawk(1)")
    add_custom_target(manpage ALL DEPENDS ${lh_deb_dir}/loadhawk.1.gz)
    install(FILES ${lh_deb_dir}/loadhawk.1.gz DESTINATION share/man/man1)
  else()
    message(STATUS "scdoc not found: the .deb cannot be built (scripts/install-deps installs it)")
  endif()

  # the Debian changelog, gzipped without a time stamp
  configure_file(packaging/debian/changelog.in ${lh_deb_dir}/changelog.Debian @ONLY)
  execute_process(COMMAND ${LH_GZIP} -9nf changelog.Debian WORKING_DIRECTORY ${lh_deb_dir})

  install(TARGETS loadhawk RUNTIME DESTINATION bin)
  # stripped as Debian strips: without the compiler's .comment and .note
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment --remove-section=.note
                    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/loadhawk\")
  endif()")
  install(FILES examples/loadhawk_setup.txt examples/loadhawk_email.txt DESTINATION ${lh_doc}/examples)
  install(FILES README.md packaging/debian/copyright ${lh_deb_dir}/changelog.Debian.gz DESTINATION ${lh_doc})
  install(FILES packaging/debian/loadhawk.service DESTINATION lib/systemd/system)
  install(FILES packaging/debian/logrotate DESTINATION /etc/logrotate.d RENAME loadhawk)
  install(FILES packaging/debian/lintian-overrides DESTINATION share/lintian/overrides RENAME loadhawk)

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  # a Debian revision of our own packaging (the changelog is changelog.Debian)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_PACKAGE_SECTION admin)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "curl, adduser")
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://loadhawk.org/")
  # below the summary line; CPack indents it and marks the empty line
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"loadhawk watches this machine's CPU usage and memory load, lists the
top processes, and sends an alert by e-mail or Telegram (through curl)
when a load stays out of bounds for a set number of cycles, and a
recovery notice when it ends.

The package runs it as a sandboxed systemd service under its own
system user, with its settings in /etc/loadhawk.")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
      ${CMAKE_SOURCE_DIR}/packaging/debian/postinst
      ${CMAKE_SOURCE_DIR}/packaging/debian/prerm
      ${CMAKE_SOURCE_DIR}/packaging/debian/postrm
      ${CMAKE_SOURCE_DIR}/packaging/debian/conffiles)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

include(CPack)
