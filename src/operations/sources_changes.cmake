# Add, modify and rename, delete, quick start.
list(APPEND TALVEX_OPERATIONS_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/changes_placeholder.cc
)
