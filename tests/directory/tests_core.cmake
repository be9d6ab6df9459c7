# Unit tests of the directory routines above the seam, and the fakes.
list(APPEND TALVEX_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/../fakes/fake_filter.cc
  ${CMAKE_CURRENT_LIST_DIR}/../fakes/fake_directory.cc
  ${CMAKE_CURRENT_LIST_DIR}/../fakes/fake_ldap_client.cc
  ${CMAKE_CURRENT_LIST_DIR}/../fakes/fake_dc_locator.cc
  ${CMAKE_CURRENT_LIST_DIR}/../fakes/fake_directory_test.cc
)
