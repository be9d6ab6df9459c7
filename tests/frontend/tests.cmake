# Unit tests of src/frontend.
