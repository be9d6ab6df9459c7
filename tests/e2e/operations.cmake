# End-to-end tests of the operations layer (add_test with ENVIRONMENT ${TALVEX_E2E_ENV}).
