#include "frontend/text_file.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

namespace talvex {

namespace {

bool ReadStandardInput(std::string* text) {
  text->assign(std::istreambuf_iterator<char>(std::cin),
               std::istreambuf_iterator<char>());
  return !std::cin.bad();
}

}  // namespace

bool ReadTextFile(const std::string& path, std::string* text) {
  if (path == "-") return ReadStandardInput(text);
  // A path built from UTF-8 code units: on Windows the library opens it by
  // its wide name, so that names beyond the ANSI code page work.
  const std::filesystem::path name(std::u8string(path.begin(), path.end()));
  std::error_code error;
  if (!std::filesystem::is_regular_file(name, error)) return false;
  std::ifstream file(name, std::ios::binary);
  if (!file) return false;
  text->assign(std::istreambuf_iterator<char>(file),
               std::istreambuf_iterator<char>());
  return !file.bad();
}

}  // namespace talvex
