// Reads a structure file and builds vornax-fine's structure from it, with the time of each step:
//   structure_build FILE [ground]
// prints the counts (nets, conductor panels, layers, dielectric blocks, dielectric pieces) and
// the seconds of reading the file, of building a cap3d structure, and of the whole.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "structure/cap3d_reader.h"
#include "structure/cap3d_structure.h"
#include "structure/structure_file.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: structure_build FILE [ground]\n");
    return 2;
  }
  const WindowFaces faces = argc == 3 ? WindowFaces::kGrounded : WindowFaces::kOpen;
  const auto start = std::chrono::steady_clock::now();
  std::ifstream in(argv[1]);
  std::stringstream content;
  content << in.rdbuf();
  FineStructure structure;
  std::string error;
  double read = 0, build = 0;
  if (structure_format_of(content.str()) == StructureFormat::kCap3d) {
    Cap3dFile file;
    error = read_cap3d(content, argv[1], file);
    read = seconds_since(start);
    if (error.empty()) error = build_cap3d_structure(file, argv[1], faces, structure);
    build = seconds_since(start) - read;
  } else {
    StructureFormat format;
    error = read_structure(content, argv[1], faces, structure, format);
    read = seconds_since(start);
  }
  if (!error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::printf("nets %zu, panels %zu, layers %zu, blocks %zu, pieces %zu\n",
              structure.conductors.size(), structure.panels.size(), structure.medium.layers.size(),
              structure.medium.blocks.size(), structure.medium.pieces.size());
  std::printf("read %.3f s, build %.3f s, total %.3f s\n", read, build, seconds_since(start));
  return 0;
}
