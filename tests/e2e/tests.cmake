# End-to-end tests that run the built talvex binary.
