# Directory routines above the client seam (listed by file, no globs).
list(APPEND TALVEX_DIRECTORY_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/connection_cache.cc
  ${CMAKE_CURRENT_LIST_DIR}/ldap_error_report.cc
)
