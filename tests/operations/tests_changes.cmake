# Unit tests of add, modify/rename, delete, quick start.
