# The cross-built unit tests run under Wine through the one Wine runner of
# the end-to-end tests, in one Wine prefix under this build tree that the
# first run creates and later runs reuse.
add_test(NAME unit_windows
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/../e2e/wine_exec.sh $<TARGET_FILE:talvex_tests>)
set_tests_properties(unit_windows PROPERTIES
  ENVIRONMENT TALVEX_WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix)
