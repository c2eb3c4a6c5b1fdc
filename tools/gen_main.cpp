// vornax-gen: writes the panel file of a generated structure on standard output.
#include <iostream>
#include <string>
#include <vector>

#include "common/companion_request.h"
#include "common/fatal.h"
#include "tools/box_writer.h"
#include "tools/generator_arguments.h"

int main(int argc, char** argv) {
  install_out_of_memory_handler(stderr, "vornax-gen: not enough memory.");
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (answer_companion_request(arguments, kGeneratorUsage, "vornax-gen " VORNAX_VERSION)) return 0;
  Structure structure;
  std::string error = structure_from_arguments(arguments, structure);
  if (!error.empty()) {
    std::cerr << "vornax-gen: " << error << '\n' << kGeneratorUsage;
    return 2;
  }
  write_structure(std::cout, structure);
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "vornax-gen: could not write the panel file.\n";
    return 1;
  }
  return 0;
}
