# End-to-end tests of the directory layer against the lab domain controller.

# The platform implementations (libldap client, SASL GSSAPI binds, DNS SRV +
# CLDAP locator) against the lab domain controller: the Lab* tests of
# talvex_tests, run inside the lab's network namespace. They write (a
# probe OU they create and remove), so they run alone.
talvex_e2e_test(e2e_test_directory_platform SUITE test_directory_platform LAB SERIAL
  TIMEOUT 600 ENVIRONMENT TALVEX_TESTS_BINARY=$<TARGET_FILE:talvex_tests>)

# Binds of every kind and the locator's answers, through the built talvex.
talvex_e2e_test(e2e_test_directory_binds SUITE test_directory_binds LAB TIMEOUT 600)

# -ssl and -starttls against the lab switched to a hardened controller for
# the suite's length (lab/harden.sh on, then off): alone, since the other
# suites expect the lenient lab. The probe shows which channel binding
# talvex's Kerberos binds hand to GSSAPI.
add_library(channel_binding_probe MODULE
  ${CMAKE_CURRENT_LIST_DIR}/channel_binding_probe.cc)
target_link_libraries(channel_binding_probe PRIVATE PkgConfig::KRB5 ${CMAKE_DL_LIBS})
talvex_e2e_test(e2e_test_tls_hardened SUITE test_tls_hardened LAB SERIAL
  ENVIRONMENT CHANNEL_BINDING_PROBE=$<TARGET_FILE:channel_binding_probe>)

# Every way a lying or failing controller can mislead a run, against the
# fake controller of fake_dc/ in a network namespace of its own (as root):
# no lab. The silent Partitions search costs one operation timeout.
talvex_e2e_test(e2e_test_lying_dc SUITE test_lying_dc TIMEOUT 600)
