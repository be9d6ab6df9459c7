# The executor, View, validation, membership and effective policy.
list(APPEND TALVEX_OPERATIONS_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/applied_members.cc
  ${CMAKE_CURRENT_LIST_DIR}/effective.cc
  ${CMAKE_CURRENT_LIST_DIR}/execute_action.cc
  ${CMAKE_CURRENT_LIST_DIR}/group_psos.cc
  ${CMAKE_CURRENT_LIST_DIR}/json_document.cc
  ${CMAKE_CURRENT_LIST_DIR}/json_effective.cc
  ${CMAKE_CURRENT_LIST_DIR}/json_view.cc
  ${CMAKE_CURRENT_LIST_DIR}/membership.cc
  ${CMAKE_CURRENT_LIST_DIR}/object_filter.cc
  ${CMAKE_CURRENT_LIST_DIR}/run_failure.cc
  ${CMAKE_CURRENT_LIST_DIR}/validation_tests.cc
  ${CMAKE_CURRENT_LIST_DIR}/view.cc
)
