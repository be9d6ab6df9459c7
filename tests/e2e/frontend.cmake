# End-to-end tests of the frontend layer (add_test with ENVIRONMENT ${TALVEX_E2E_ENV}).
