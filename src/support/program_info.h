// The program's identity, shown by the banner, the usage text and the hint.
#pragma once

#include <string>

namespace talvex {

struct ProgramInfo {
  std::string version = "V01.00.00cpp";
  std::string releaseDate = "April 2007";
  std::string displayName = "Talvex";
};

const ProgramInfo& Program();

}  // namespace talvex
