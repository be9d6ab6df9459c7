# End-to-end tests of the directory layer (add_test with ENVIRONMENT ${TALVEX_E2E_ENV}).

# The platform implementations (libldap client, SASL GSSAPI binds, DNS SRV +
# CLDAP locator) against the lab domain controller: the Lab* tests of
# talvex_tests, run inside the lab's network namespace. They write (a
# probe OU they create and remove), so they run alone.
add_test(NAME e2e_test_directory_platform
  COMMAND ${Python3_EXECUTABLE} -m unittest -v test_directory_platform
  WORKING_DIRECTORY ${CMAKE_CURRENT_LIST_DIR})
set_tests_properties(e2e_test_directory_platform PROPERTIES
  ENVIRONMENT "${TALVEX_E2E_ENV};TALVEX_TESTS_BINARY=$<TARGET_FILE:talvex_tests>"
  RUN_SERIAL TRUE
  TIMEOUT 600)

# Binds of every kind and the locator's answers, through the built talvex.
add_test(NAME e2e_test_directory_binds
  COMMAND ${Python3_EXECUTABLE} -m unittest -v test_directory_binds
  WORKING_DIRECTORY ${CMAKE_CURRENT_LIST_DIR})
set_tests_properties(e2e_test_directory_binds PROPERTIES
  ENVIRONMENT "${TALVEX_E2E_ENV}"
  TIMEOUT 600)

# -ssl and -starttls against the lab switched to a hardened controller for
# the suite's length (lab/harden.sh on, then off): alone, since the other
# suites expect the lenient lab.
add_test(NAME e2e_test_tls_hardened
  COMMAND ${Python3_EXECUTABLE} -m unittest -v test_tls_hardened
  WORKING_DIRECTORY ${CMAKE_CURRENT_LIST_DIR})
set_tests_properties(e2e_test_tls_hardened PROPERTIES
  ENVIRONMENT "${TALVEX_E2E_ENV}"
  RUN_SERIAL TRUE
  TIMEOUT 900)

# Shows which channel binding talvex's Kerberos binds hand to GSSAPI.
add_library(channel_binding_probe MODULE
  ${CMAKE_CURRENT_LIST_DIR}/channel_binding_probe.cc)
target_link_libraries(channel_binding_probe PRIVATE PkgConfig::KRB5 ${CMAKE_DL_LIBS})
set_tests_properties(e2e_test_tls_hardened PROPERTIES
  ENVIRONMENT "${TALVEX_E2E_ENV};CHANNEL_BINDING_PROBE=$<TARGET_FILE:channel_binding_probe>")
