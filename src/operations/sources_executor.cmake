# The executor, View, validation, membership and effective policy.
list(APPEND TALVEX_OPERATIONS_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/execute_action.cc
  ${CMAKE_CURRENT_LIST_DIR}/run_failure.cc
)
