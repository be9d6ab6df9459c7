# Unit tests of add, modify/rename, delete, quick start.
list(APPEND TALVEX_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/add_pso_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/delete_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/modify_policy_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/modify_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/quick_start_test.cc
)
