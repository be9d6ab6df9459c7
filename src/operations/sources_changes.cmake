# Add, modify and rename, delete, quick start.
list(APPEND TALVEX_OPERATIONS_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/add_pso.cc
  ${CMAKE_CURRENT_LIST_DIR}/delete.cc
  ${CMAKE_CURRENT_LIST_DIR}/modify.cc
  ${CMAKE_CURRENT_LIST_DIR}/modify_policy.cc
  ${CMAKE_CURRENT_LIST_DIR}/pso_dn.cc
  ${CMAKE_CURRENT_LIST_DIR}/quick_start.cc
  ${CMAKE_CURRENT_LIST_DIR}/rename.cc
)
