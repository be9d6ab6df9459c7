# Unit tests of src/directory, and the fakes other layers' tests use.
include(${CMAKE_CURRENT_LIST_DIR}/tests_core.cmake)
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/windows/tests.cmake)
else()
  include(${CMAKE_CURRENT_LIST_DIR}/tests_platform.cmake)
endif()
