# Platform implementations below the seams (listed by file, no globs).
list(APPEND TALVEX_DIRECTORY_PLATFORM_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/platform_stub.cc
)
