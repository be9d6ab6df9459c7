# The installed layout (binary, manual, completion) and the Debian package.
add_test(NAME install_layout
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/install_test.sh layout ${CMAKE_BINARY_DIR})
add_test(NAME install_deb
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/install_test.sh deb ${CMAKE_BINARY_DIR})
set_tests_properties(install_deb PROPERTIES SKIP_RETURN_CODE 77 RUN_SERIAL TRUE TIMEOUT 600)
