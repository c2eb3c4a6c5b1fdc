#include "run/run_start.h"

#include "common/fatal.h"
#include "common/memory_limit.h"
#include "run/instruction_set_choice.h"
#include "run/termination_cleanup.h"

bool start_run(const RunStartSettings& settings, InstructionSet& instruction_set,
               std::string& message) {
  if (settings.result_name != nullptr) {
    remove_stale_result(settings.result_name, settings.input_name);
  }
  clean_up_at_termination();
  install_out_of_memory_handler(settings.memory_message_stream, settings.memory_message);
  limit_address_space_to_physical_memory(settings.sharing_processes);
  return instruction_set_from_environment(instruction_set, message);
}
