# End-to-end tests of the actions against the lab domain controller.
include(${CMAKE_CURRENT_LIST_DIR}/operations_executor.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/operations_changes.cmake)
