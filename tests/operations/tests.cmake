# Unit tests of src/operations.
include(${CMAKE_CURRENT_LIST_DIR}/tests_executor.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/tests_changes.cmake)
