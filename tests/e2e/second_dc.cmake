# -h with two domain controllers: second_dc.sh adds dc2 to the lab, runs
# test_second_dc and removes dc2 from the lab and from the domain again,
# also when the tests fail. While dc2 is in the domain's DNS the locator may
# answer with it, which the other lab tests must never meet: the test runs
# alone and comes last. 77 is a local run without a lab (or without a dc2
# that could be added); with CI set that fails instead.
talvex_e2e_test(e2e_second_dc LAB SERIAL TIMEOUT 1200 SKIP_RETURN_CODE 77
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/second_dc.sh ${Python3_EXECUTABLE})
