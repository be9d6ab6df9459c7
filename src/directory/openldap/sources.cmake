# The Linux side of the directory seams (listed by file, no globs).
list(APPEND TALVEX_DIRECTORY_PLATFORM_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ber_values.cc
  ${CMAKE_CURRENT_LIST_DIR}/cldap_ping.cc
  ${CMAKE_CURRENT_LIST_DIR}/dns_dc_locator.cc
  ${CMAKE_CURRENT_LIST_DIR}/dns_srv_lookup.cc
  ${CMAKE_CURRENT_LIST_DIR}/handshake_watchdog.cc
  ${CMAKE_CURRENT_LIST_DIR}/krb5_default_realm.cc
  ${CMAKE_CURRENT_LIST_DIR}/krb5_kdc_profile.cc
  ${CMAKE_CURRENT_LIST_DIR}/krb5_password_ticket.cc
  ${CMAKE_CURRENT_LIST_DIR}/netlogon_response.cc
  ${CMAKE_CURRENT_LIST_DIR}/openldap_client.cc
  ${CMAKE_CURRENT_LIST_DIR}/platform_client.cc
  ${CMAKE_CURRENT_LIST_DIR}/sasl_gssapi_bind.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_text.cc
  ${CMAKE_CURRENT_LIST_DIR}/tls_failure_reason.cc
)
set(TALVEX_DIRECTORY_PLATFORM_LIBRARIES
  PkgConfig::LDAP PkgConfig::SASL PkgConfig::KRB5 ${RESOLV_LIBRARY})
