# Unit tests of the directory routines above the seam, and the fakes.
