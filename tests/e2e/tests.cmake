# End-to-end tests: Python (standard library only) scripts that run the
# built talvex binary and compare whole outputs. Tests that need the lab
# domain controller fail in CI when it is missing and skip only in a
# developer's local run.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(TALVEX_E2E_ENV
  TALVEX_BINARY=$<TARGET_FILE:talvex>
  TALVEX_SOURCE_DIR=${CMAKE_SOURCE_DIR})

# Registers an end-to-end test that runs in this folder with TALVEX_E2E_ENV:
#   talvex_e2e_test(NAME {SUITE module | COMMAND ...} [LAB] [SERIAL]
#                   [TIMEOUT seconds] [SKIP_RETURN_CODE code] [ENVIRONMENT ...])
# SUITE is a Python suite of this folder (python -m unittest -v). LAB: it
# talks to the lab domain controller, which takes its time: 900 seconds
# unless TIMEOUT says otherwise. SERIAL: it runs alone, because it changes
# the lab or compares its state before and after.
function(talvex_e2e_test name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "LAB;SERIAL" "SUITE;TIMEOUT;SKIP_RETURN_CODE"
    "COMMAND;ENVIRONMENT")
  if(arg_SUITE)
    set(arg_COMMAND ${Python3_EXECUTABLE} -m unittest -v ${arg_SUITE})
  endif()
  if(arg_LAB AND NOT arg_TIMEOUT)
    set(arg_TIMEOUT 900)
  endif()
  add_test(NAME ${name} COMMAND ${arg_COMMAND}
    WORKING_DIRECTORY ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
  set(environment ${TALVEX_E2E_ENV} ${arg_ENVIRONMENT})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${environment}")
  if(arg_SERIAL)
    set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE)
  endif()
  if(arg_TIMEOUT)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${arg_TIMEOUT})
  endif()
  if(DEFINED arg_SKIP_RETURN_CODE)
    set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE ${arg_SKIP_RETURN_CODE})
  endif()
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/frontend.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/directory.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/operations.cmake)
# talvex.exe under Wine, only when asked for (-DTALVEX_WINDOWS_TESTS=ON).
if(TALVEX_WINDOWS_TESTS)
  include(${CMAKE_CURRENT_LIST_DIR}/windows.cmake)
endif()

# The lab domain controller answers as the directory tests expect: a shell
# check of the lab itself, run without talvex and its environment.
add_test(NAME lab_smoke COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/lab_smoke_test.sh)

# Last: the second domain controller exists only while this test runs.
include(${CMAKE_CURRENT_LIST_DIR}/second_dc.cmake)
