# Platform implementations below the seams (listed by file, no globs):
# libldap/liblber, Cyrus SASL GSSAPI with MIT Kerberos, the resolver and
# the CLDAP netlogon ping.
list(APPEND TALVEX_DIRECTORY_PLATFORM_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/cldap_ping.cc
  ${CMAKE_CURRENT_LIST_DIR}/dns_dc_locator.cc
  ${CMAKE_CURRENT_LIST_DIR}/dns_srv_lookup.cc
  ${CMAKE_CURRENT_LIST_DIR}/krb5_default_realm.cc
  ${CMAKE_CURRENT_LIST_DIR}/krb5_password_ticket.cc
  ${CMAKE_CURRENT_LIST_DIR}/netlogon_response.cc
  ${CMAKE_CURRENT_LIST_DIR}/openldap_client.cc
  ${CMAKE_CURRENT_LIST_DIR}/sasl_gssapi_bind.cc
  ${CMAKE_CURRENT_LIST_DIR}/tls_failure_reason.cc
)
