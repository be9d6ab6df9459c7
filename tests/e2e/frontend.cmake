# End-to-end tests of the frontend layer (add_test with ENVIRONMENT ${TALVEX_E2E_ENV}).
add_test(NAME e2e_frontend
  COMMAND ${Python3_EXECUTABLE} -m unittest -v test_frontend_switches
  WORKING_DIRECTORY ${CMAKE_CURRENT_LIST_DIR})
set_tests_properties(e2e_frontend PROPERTIES ENVIRONMENT "${TALVEX_E2E_ENV}")
