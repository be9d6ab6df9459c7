# The cross-built unit tests run under Wine, in one Wine prefix under the
# build tree that the first run creates and later runs reuse.
add_test(NAME unit_windows
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/run_under_wine.sh $<TARGET_FILE:talvex_tests>)
