# Unit tests of src/support.
list(APPEND TALVEX_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/decimal_integer_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/interval_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/output_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/password_prompt_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/secret_text_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/visible_text_test.cc
)
