# The Windows build under Wine: the front-end and lab suites run a second
# time with talvex.exe (the same Python suites, talvex_process.py turns its
# Windows output back into the Linux text), and the cross-built unit tests
# run too. The cross build lives in its own tree (scripts/build_windows.sh);
# a run without it skips these tests, or fails when TALVEX_REQUIRE_WINDOWS
# or CI is set.
set(TALVEX_WINDOWS_BUILD_DIR "$ENV{TALVEX_WINDOWS_BUILD_DIR}" CACHE PATH
  "Build tree of the Windows cross build (scripts/build_windows.sh)")
if(NOT TALVEX_WINDOWS_BUILD_DIR)
  set(TALVEX_WINDOWS_BUILD_DIR ${CMAKE_SOURCE_DIR}/build-windows CACHE PATH
    "Build tree of the Windows cross build (scripts/build_windows.sh)" FORCE)
endif()
set(TALVEX_WINDOWS_EXE ${TALVEX_WINDOWS_BUILD_DIR}/src/frontend/talvex.exe)
set(TALVEX_WINDOWS_TESTS_EXE ${TALVEX_WINDOWS_BUILD_DIR}/tests/talvex_tests.exe)
# One Wine prefix for every Wine run of this build tree, made by the first.
set(TALVEX_WINE_ENV
  TALVEX_SOURCE_DIR=${CMAKE_SOURCE_DIR}
  TALVEX_WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix)
set(TALVEX_WINE_CHECK bash ${CMAKE_CURRENT_LIST_DIR}/windows_check.sh)

add_test(NAME wine_prefix
  COMMAND ${TALVEX_WINE_CHECK} ${TALVEX_WINDOWS_EXE}
    bash ${CMAKE_CURRENT_LIST_DIR}/wine_prefix.sh ${CMAKE_BINARY_DIR}/wine-prefix)
set_tests_properties(wine_prefix PROPERTIES
  FIXTURES_SETUP wine_prefix LABELS windows SKIP_RETURN_CODE 77 TIMEOUT 600)

function(talvex_wine_test name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "NEEDS" "COMMAND;ENVIRONMENT")
  if(NOT arg_NEEDS)
    set(arg_NEEDS ${TALVEX_WINDOWS_EXE})
  endif()
  add_test(NAME ${name}
    COMMAND ${TALVEX_WINE_CHECK} ${arg_NEEDS} ${arg_COMMAND}
    WORKING_DIRECTORY ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "${TALVEX_WINE_ENV};TALVEX_BINARY=${TALVEX_WINDOWS_EXE};${arg_ENVIRONMENT}"
    FIXTURES_REQUIRED wine_prefix LABELS windows SKIP_RETURN_CODE 77
    RUN_SERIAL TRUE TIMEOUT 1800)
endfunction()

talvex_wine_test(wine_unit NEEDS ${TALVEX_WINDOWS_TESTS_EXE}
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/wine_exec.sh ${TALVEX_WINDOWS_TESTS_EXE})

# The front end: once with pipes (OEM code page) and once with disk files
# (UTF-16LE) as standard output and error.
foreach(streams pipe file)
  talvex_wine_test(wine_frontend_${streams}
    COMMAND ${Python3_EXECUTABLE} -m unittest -v test_frontend_switches
    ENVIRONMENT TALVEX_WINE_STREAMS=${streams})
endforeach()

# The lab suites twice, to disk files (whose UTF-16 carries every name
# unchanged), once for each way of connecting: a simple bind (-u UPN, -up,
# -simple) with no -h, so that the library's locator finds the controller,
# and a negotiated bind (-u DOMAIN\\user, -up) against the DC named by -h.
# The JSON, directory-values and second-domain suites run once, with the
# simple bind. The bind with the current logon (no -u) cannot run here: Wine 8's
# ldap_bind_sW crashes inside Wine on LDAP_AUTH_NEGOTIATE without
# credentials.
set(TALVEX_WINE_LAB_SUITES test_view test_view_applied test_membership
  test_effective test_add test_modify test_delete test_quickstart test_audit
  test_coverage test_policy_code)
foreach(variant simple negotiate)
  if(variant STREQUAL "simple")
    set(host "")
    set(suites ${TALVEX_WINE_LAB_SUITES} test_json test_directory_values
      test_second_domain)
  else()
    set(host named)
    set(suites ${TALVEX_WINE_LAB_SUITES})
  endif()
  foreach(module IN LISTS suites)
    talvex_wine_test(wine_${variant}_${module}
      COMMAND ${Python3_EXECUTABLE} -m unittest -v ${module}
      ENVIRONMENT TALVEX_WINE_STREAMS=file TALVEX_LAB_BIND=${variant} TALVEX_LAB_HOST=${host})
  endforeach()
endforeach()

# The lying controller's cases whose fault lies in shared code, with
# talvex.exe in the fake's network namespace. A prefix of its own: a Wine
# server that a lab suite left running would open the sockets in the lab's
# namespace instead.
talvex_wine_test(wine_lying_dc
  COMMAND ${Python3_EXECUTABLE} -m unittest -v test_lying_dc
  ENVIRONMENT TALVEX_WINE_STREAMS=file
    TALVEX_WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix-fakedc)

# The system's texts of the lab's own SIDs and security descriptors.
talvex_wine_test(wine_security_values NEEDS ${TALVEX_WINDOWS_TESTS_EXE}
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/wine_security_values.sh ${TALVEX_WINDOWS_TESTS_EXE})
