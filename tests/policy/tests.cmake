# Unit tests of src/policy.
list(APPEND TALVEX_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/audit_profile_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/domain_list_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/domain_policy_retrieval_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/governing_pso_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/policy_display_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/policy_entry_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/policy_record_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/policy_rules_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/policy_settings_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/pso_retrieval_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/setting_text_check_test.cc
)
