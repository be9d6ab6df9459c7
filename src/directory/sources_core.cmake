# Directory routines above the client seam (listed by file, no globs).
list(APPEND TALVEX_DIRECTORY_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/binary_attribute_tables.cc
  ${CMAKE_CURRENT_LIST_DIR}/binary_value_text.cc
  ${CMAKE_CURRENT_LIST_DIR}/bound_connection.cc
  ${CMAKE_CURRENT_LIST_DIR}/caching_dc_locator.cc
  ${CMAKE_CURRENT_LIST_DIR}/connection_cache.cc
  ${CMAKE_CURRENT_LIST_DIR}/directory_access.cc
  ${CMAKE_CURRENT_LIST_DIR}/distinguished_name.cc
  ${CMAKE_CURRENT_LIST_DIR}/ldap_error_report.cc
  ${CMAKE_CURRENT_LIST_DIR}/ldap_filter.cc
  ${CMAKE_CURRENT_LIST_DIR}/ldap_modify.cc
  ${CMAKE_CURRENT_LIST_DIR}/ldap_search.cc
  ${CMAKE_CURRENT_LIST_DIR}/ranged_values.cc
  ${CMAKE_CURRENT_LIST_DIR}/record_set.cc
  ${CMAKE_CURRENT_LIST_DIR}/sddl_encoder.cc
  ${CMAKE_CURRENT_LIST_DIR}/search_controls.cc
  ${CMAKE_CURRENT_LIST_DIR}/server_info.cc
  ${CMAKE_CURRENT_LIST_DIR}/value_conversion.cc
)
