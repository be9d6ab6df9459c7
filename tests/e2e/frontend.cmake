# End-to-end tests of the front end: no run reaches a directory.
talvex_e2e_test(e2e_frontend SUITE test_frontend_switches)
