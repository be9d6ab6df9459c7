# Unit tests of the executor, View, validation, membership, effective.
list(APPEND TALVEX_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/applied_members_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/effective_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/execute_action_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/json_document_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/membership_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/object_filter_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/validation_tests_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/view_test.cc
)
