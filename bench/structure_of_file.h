#pragma once

#include <cstdio>
#include <fstream>
#include <string>

#include "structure/structure_file.h"

/// Reads a panel or cap3d file into `structure` with the window open, as the benches take it;
/// false (and the reader's message on standard error) where it cannot be read.
inline bool structure_of_file(const char* path, FineStructure& structure) {
  std::ifstream in(path);
  StructureFormat format;
  const std::string error = read_structure(in, path, WindowFaces::kOpen, structure, format);
  if (!error.empty()) std::fprintf(stderr, "%s\n", error.c_str());
  return error.empty();
}
