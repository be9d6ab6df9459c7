# Unit tests of the Windows side of the directory seams.
list(APPEND TALVEX_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/security_text_test.cc
  ${CMAKE_CURRENT_LIST_DIR}/security_text_lab_test.cc
)
