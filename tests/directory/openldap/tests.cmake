# Unit tests of the platform implementations (libldap, krb5, DNS/CLDAP),
# and their tests against the lab domain controller, which skip unless run
# inside the lab's network namespace (tests/e2e/directory.cmake does that).
list(APPEND TALVEX_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/cldap_ping_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/dns_dc_locator_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/dns_srv_lookup_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/krb5_kdc_profile_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/krb5_password_ticket_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/netlogon_response_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/platform_client_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/tls_failure_reason_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/platform_lab.cc
  ${CMAKE_CURRENT_LIST_DIR}/dns_dc_locator_lab_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/openldap_client_lab_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/ranged_values_lab_test.cc
)
