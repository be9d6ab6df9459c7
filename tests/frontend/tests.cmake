# Unit tests of src/frontend.
list(APPEND TALVEX_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/application_switches_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/command_line_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/parser_fuzz_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/policy_fields_test.cc
)
