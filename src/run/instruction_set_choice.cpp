#include "run/instruction_set_choice.h"

#include <cstdlib>

bool instruction_set_from_environment(InstructionSet& set, std::string& message) {
  const char* setting = std::getenv("VORNAX_ISA");
  if (setting == nullptr || *setting == '\0') {
    set = best_instruction_set();
    return true;
  }
  if (parse_instruction_set(setting, set) && processor_has(set)) return true;
  message = std::string("Error: VORNAX_ISA=") + setting +
            " names no instruction-set path of this processor; it has " +
            available_instruction_sets() + ".";
  return false;
}
