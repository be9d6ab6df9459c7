# Unit tests of src/support.
list(APPEND TALVEX_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ascii_words_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/decimal_integer_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/interval_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/output_buffer_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/output_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/secret_text_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/visible_text_test.cc
)
# The capture of standard output and standard error, the prompt's tests on
# a pseudo-terminal and the system's error texts exist per platform.
if(WIN32)
  list(APPEND TALVEX_TEST_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/../windows/output_capture.cc
    ${CMAKE_CURRENT_LIST_DIR}/windows/output_writer_test.cc
  )
else()
  list(APPEND TALVEX_TEST_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/../output_capture.cc
    ${CMAKE_CURRENT_LIST_DIR}/output_writer_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/password_prompt_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/run_exit_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/system_message_test.cc
  )
endif()
