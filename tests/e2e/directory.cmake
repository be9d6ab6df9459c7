# End-to-end tests of the directory layer (add_test with ENVIRONMENT ${TALVEX_E2E_ENV}).
