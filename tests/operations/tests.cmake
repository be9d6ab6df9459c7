# Unit tests of src/operations.
