# Add, modify, rename, delete, quick start against the lab. They change the
# lab's PSOs and, for a moment, its domain policy, so they run alone.
set(TALVEX_E2E_CHANGES_TESTS test_add test_modify test_delete test_quickstart)
foreach(module IN LISTS TALVEX_E2E_CHANGES_TESTS)
  add_test(NAME e2e_${module}
    COMMAND ${Python3_EXECUTABLE} -m unittest -v ${module}
    WORKING_DIRECTORY ${CMAKE_CURRENT_LIST_DIR})
  set_tests_properties(e2e_${module} PROPERTIES
    ENVIRONMENT "${TALVEX_E2E_ENV}"
    RUN_SERIAL TRUE
    TIMEOUT 900)
endforeach()
