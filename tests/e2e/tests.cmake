# End-to-end tests: Python (standard library only) scripts that run the
# built talvex binary and compare whole outputs. Tests that need the lab
# domain controller fail in CI when it is missing and skip only in a
# developer's local run.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(TALVEX_E2E_ENV
  TALVEX_BINARY=$<TARGET_FILE:talvex>
  TALVEX_SOURCE_DIR=${CMAKE_SOURCE_DIR})
include(${CMAKE_CURRENT_LIST_DIR}/frontend.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/directory.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/operations.cmake)
# talvex.exe under Wine, only when asked for (-DTALVEX_WINDOWS_TESTS=ON).
if(TALVEX_WINDOWS_TESTS)
  include(${CMAKE_CURRENT_LIST_DIR}/windows.cmake)
endif()

# The lab domain controller answers as the directory tests expect.
add_test(NAME lab_smoke COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/lab_smoke_test.sh)

# Last: the second domain controller exists only while this test runs.
include(${CMAKE_CURRENT_LIST_DIR}/second_dc.cmake)
