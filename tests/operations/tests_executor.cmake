# Unit tests of the executor, View, validation, membership, effective.
