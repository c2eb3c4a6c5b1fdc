#include <cstdio>
#include <iostream>
#include <string>

#include "common/fatal.h"
#include "common/memory_limit.h"
#include "model/capacitance_extractor.h"
#include "run/instruction_set_choice.h"
#include "run/result_file.h"
#include "run/termination_cleanup.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cout << "Program usage: VORNAX [InputFileName]" << std::endl;
    return 1;
  }
  // Cap.txt is this run's result or nothing: an earlier run's goes before anything is read, and
  // an interrupted run takes its unfinished one along.
  remove_stale_result(kResultFileName, argv[1]);
  clean_up_at_termination();
  InstructionSet instruction_set;
  std::string message;
  if (!instruction_set_from_environment(instruction_set, message)) {
    std::cerr << message << std::endl;
    return 1;
  }
  install_out_of_memory_handler(stdout);
  limit_address_space_to_physical_memory();
  {
    CapacitanceExtractor extractor;
    extractor.instruction_set = instruction_set;
    extractor.run(argv[1]);
  }
  // The exit status is 1 after a complete run as after a failure; callers rely on it.
  return 1;
}
