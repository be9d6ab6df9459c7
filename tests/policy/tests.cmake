# Unit tests of src/policy.
