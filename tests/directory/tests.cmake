# Unit tests of src/directory, the fakes that every layer's tests use, and
# the tests of the platform folder the build chose.
list(APPEND TALVEX_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/../fakes/fake_filter.cc
  ${CMAKE_CURRENT_LIST_DIR}/../fakes/fake_directory.cc
  ${CMAKE_CURRENT_LIST_DIR}/../fakes/fake_ldap_client.cc
  ${CMAKE_CURRENT_LIST_DIR}/../fakes/fake_dc_locator.cc
  ${CMAKE_CURRENT_LIST_DIR}/../fakes/fake_directory_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/bound_connection_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/caching_dc_locator_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/directory_access_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/distinguished_name_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/ldap_error_report_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/ldap_filter_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/ldap_modify_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/ldap_search_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/ranged_values_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/record_set_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/sddl_encoder_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/search_controls_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/server_info_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/value_conversion_test.cc
)
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/windows/tests.cmake)
else()
  include(${CMAKE_CURRENT_LIST_DIR}/openldap/tests.cmake)
endif()
