# Unit tests of src/directory, and the fakes other layers' tests use.
include(${CMAKE_CURRENT_LIST_DIR}/tests_core.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/tests_platform.cmake)
