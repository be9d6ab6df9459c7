# What `cmake --install` puts in place, and the packages CPack builds from it:
# a Debian package on Linux, a zip with talvex.exe and a text manual on
# Windows.

configure_file(${CMAKE_SOURCE_DIR}/docs/talvex.1
               ${CMAKE_BINARY_DIR}/docs/talvex.1 @ONLY)

if(WIN32)
  # The zip holds the program and the manual as plain text beside it; the
  # text is made on the build machine by groff, which every Debian has.
  find_program(GROFF groff REQUIRED)
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/docs/talvex.txt
    COMMAND ${GROFF} -man -Tascii -P-cbou ${CMAKE_BINARY_DIR}/docs/talvex.1
            > ${CMAKE_BINARY_DIR}/docs/talvex.txt
    DEPENDS ${CMAKE_BINARY_DIR}/docs/talvex.1
    VERBATIM)
  add_custom_target(talvex_manual_text ALL
    DEPENDS ${CMAKE_BINARY_DIR}/docs/talvex.txt)
  install(TARGETS talvex RUNTIME DESTINATION .)
  install(FILES ${CMAKE_BINARY_DIR}/docs/talvex.txt
                ${CMAKE_SOURCE_DIR}/docs/talvex-output.schema.json
                ${CMAKE_SOURCE_DIR}/docs/talvex-audit-profile.schema.json
          DESTINATION . OPTIONAL)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGE_FILE_NAME "talvex-${PROJECT_VERSION}-windows-x64")
else()
  install(TARGETS talvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_BINARY_DIR}/docs/talvex.1
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${CMAKE_SOURCE_DIR}/docs/talvex.bash-completion
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
          RENAME talvex)
  if(EXISTS ${CMAKE_SOURCE_DIR}/docs/talvex-output.schema.json)
    install(FILES ${CMAKE_SOURCE_DIR}/docs/talvex-output.schema.json
                  ${CMAKE_SOURCE_DIR}/docs/talvex-audit-profile.schema.json
            DESTINATION ${CMAKE_INSTALL_DATADIR}/talvex)
  endif()

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION admin)
  # The runtime libraries talvex is linked with, and the SASL module that
  # makes Kerberos binds possible (loaded by libsasl2 at run time, so no
  # shared-library scan would find it).
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libc6, libstdc++6, libgcc-s1, libldap-2.5-0, libsasl2-2, libsasl2-modules-gssapi-mit, libkrb5-3, libgssapi-krb5-2, libk5crypto3, libcom-err2")
endif()

set(CPACK_PACKAGE_NAME talvex)
set(CPACK_PACKAGE_VENDOR "The Talvex developers")
set(CPACK_PACKAGE_CONTACT "The Talvex developers <dev@talvex.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Views and changes the fine-grained Password Settings Objects and the domain password policy of Active Directory domains (Windows AD or Samba AD) over LDAP. Nothing is written unless -forreal is given.")
set(CPACK_STRIP_FILES ON)
include(CPack)
