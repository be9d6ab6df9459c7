# The Windows side of the directory seams (listed by file, no globs).
list(APPEND TALVEX_DIRECTORY_PLATFORM_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ber_values.cc
  ${CMAKE_CURRENT_LIST_DIR}/dn_helpers_interim.cc
  ${CMAKE_CURRENT_LIST_DIR}/ds_dc_locator.cc
  ${CMAKE_CURRENT_LIST_DIR}/platform_client.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_text.cc
  ${CMAKE_CURRENT_LIST_DIR}/wldap_client.cc
)
set(TALVEX_DIRECTORY_PLATFORM_LIBRARIES wldap32 netapi32 advapi32)
