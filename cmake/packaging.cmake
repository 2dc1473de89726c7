# Install rules and the two packages users install:
#   Linux:   loadhawk_<version>_amd64.deb  (/usr/bin/loadhawk, examples, systemd unit)
#   Windows: loadhawk-<version>-win64.zip  (loadhawk.exe, examples and README with CRLF)
# The version is the project's, set once at the top of CMakeLists.txt.

set(CPACK_PACKAGE_NAME loadhawk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the loadhawk authors")
set(CPACK_PACKAGE_CONTACT "the loadhawk authors <loadhawk@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "lightweight CPU and memory load monitor with e-mail and Telegram alerts")
set(CPACK_PACKAGE_DESCRIPTION "loadhawk watches this machine's CPU usage and memory load, lists the top processes, and sends an alert by e-mail or Telegram (through curl) when a load stays out of bounds for a set number of cycles, and a recovery notice when it ends.")

if(WIN32)
  # text files in Windows line ends
  set(lh_crlf_dir ${CMAKE_BINARY_DIR}/crlf)
  foreach(pair "examples/loadhawk_setup.txt;loadhawk_setup.txt"
               "examples/loadhawk_email.txt;loadhawk_email.txt"
               "README.md;README.txt")
    list(GET pair 0 lh_source)
    list(GET pair 1 lh_target)
    file(READ ${CMAKE_SOURCE_DIR}/${lh_source} lh_text)
    string(REPLACE "\r\n" "\n" lh_text "${lh_text}")
    string(REPLACE "\n" "\r\n" lh_text "${lh_text}")
    file(WRITE ${lh_crlf_dir}/${lh_target} "${lh_text}")
    install(FILES ${lh_crlf_dir}/${lh_target} DESTINATION .)
  endforeach()
  install(TARGETS loadhawk RUNTIME DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME loadhawk-${PROJECT_VERSION}-win64)
else()
  install(TARGETS loadhawk RUNTIME DESTINATION bin)
  install(FILES examples/loadhawk_setup.txt examples/loadhawk_email.txt
          DESTINATION share/doc/loadhawk/examples)
  install(FILES README.md DESTINATION share/doc/loadhawk)
  install(FILES packaging/loadhawk.service DESTINATION lib/systemd/system)
  install(DIRECTORY DESTINATION /etc/loadhawk)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION admin)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS curl)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://localhost/loadhawk")
endif()

include(CPack)
