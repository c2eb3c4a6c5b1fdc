#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "common/instruction_set.h"
#include "run/result_file.h"

/// What differs between the programs at the start of a run.
struct RunStartSettings {
  const char* result_name = kResultFileName;  // the result this process writes; null for none
  const char* input_name = nullptr;           // the input file, kept if it is the result itself
  std::FILE* memory_message_stream = stdout;  // where exhausted memory is told of
  const char* memory_message = nullptr;       // that line, a literal; null: "Not enough memory!!"
                                              // and an empty line, as vornax has it
  int32_t sharing_processes = 1;              // processes of the run that share this machine
};

/// The start of a run, after its arguments are checked, the same in every program that writes
/// a result file, so that an early failure ends alike in all of them:
///  1. a result left by an earlier run is removed (remove_stale_result), so that an early
///     failure never leaves it behind;
///  2. every catchable end of the process removes the temporary result file and erases a
///     progress line, and SIGPIPE is ignored (clean_up_at_termination);
///  3. a failed allocation ends the process with its one message and status 1;
///  4. the address space is limited to the machine's memory divided among the sharing
///     processes (limit_address_space_to_physical_memory);
///  5. the kernels' instruction-set path is chosen (instruction_set_from_environment).
/// Returns false, with a one-line `message` for standard error, when VORNAX_ISA names no path
/// of this processor. Nothing is printed and the process goes on either way: the program shows
/// the message and ends with its own status. Call once, from the thread that writes the result.
bool start_run(const RunStartSettings& settings, InstructionSet& instruction_set,
               std::string& message);
