# Unit tests of src/operations.
list(APPEND TALVEX_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/account_coverage_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/add_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/applied_members_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/delete_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/effective_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/execute_action_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/export_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/json_document_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/membership_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/modify_policy_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/modify_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/object_filter_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/pre_action_checks_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/quick_start_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/sync_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/view_test.cc
)
