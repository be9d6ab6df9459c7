# View, applied, membership, effective against the lab. The tests make and
# remove objects of their own and leave the seeded ones as they were; they
# run alone because the dry-run checks compare the directory's
# highestCommittedUSN before and after.
set(TALVEX_E2E_EXECUTOR_TESTS test_view test_view_applied test_membership test_effective
  test_json
  test_directory_values)
foreach(module IN LISTS TALVEX_E2E_EXECUTOR_TESTS)
  add_test(NAME e2e_${module}
    COMMAND ${Python3_EXECUTABLE} -m unittest -v ${module}
    WORKING_DIRECTORY ${CMAKE_CURRENT_LIST_DIR})
  set_tests_properties(e2e_${module} PROPERTIES
    ENVIRONMENT "${TALVEX_E2E_ENV}"
    RUN_SERIAL TRUE
    TIMEOUT 900)
endforeach()
