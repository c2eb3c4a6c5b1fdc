#pragma once

#include <fstream>
#include <sstream>
#include <string>

/// The whole content of the file at `path`; empty when it cannot be read.
inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}
