# Add, modify, rename, delete, quick start against the lab.
