# nlohmann-json, header-only, for the JSON documents of -json.
#
# Found through its CMake package (Debian: nlohmann-json3-dev). A cross build
# (MinGW) searches packages only under its own root, where the distribution
# does not install it; the headers carry no platform code, so the host's
# copy is used there, copied into the build tree so that no host system
# include directory joins the cross compiler's search path.
find_package(nlohmann_json 3.2 QUIET)
if(NOT nlohmann_json_FOUND)
  find_path(TALVEX_NLOHMANN_JSON_DIR nlohmann/json.hpp
    PATHS /usr/include /usr/local/include NO_CMAKE_FIND_ROOT_PATH)
  if(NOT TALVEX_NLOHMANN_JSON_DIR)
    message(FATAL_ERROR "nlohmann-json not found (Debian: nlohmann-json3-dev)")
  endif()
  set(_talvex_json_include ${CMAKE_BINARY_DIR}/third_party/include)
  file(COPY ${TALVEX_NLOHMANN_JSON_DIR}/nlohmann
       DESTINATION ${_talvex_json_include})
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE
    ${_talvex_json_include})
endif()
