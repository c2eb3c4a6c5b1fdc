#include <iostream>
#include <string>

#include "common/thread_count.h"
#include "model/capacitance_extractor.h"
#include "run/run_start.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cout << "Program usage: VORNAX [InputFileName]" << std::endl;
    return 1;
  }
  RunStartSettings settings;
  settings.input_name = argv[1];
  InstructionSet instruction_set;
  std::string message;
  if (!start_run(settings, instruction_set, message)) {
    std::cerr << message << std::endl;
    return 1;
  }
  {
    CapacitanceExtractor extractor;
    extractor.instruction_set = instruction_set;
    extractor.thread_count = default_thread_count();
    extractor.run(argv[1]);
  }
  // The exit status is 1 after a complete run as after a failure; callers rely on it.
  return 1;
}
