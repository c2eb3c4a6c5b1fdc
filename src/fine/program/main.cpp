// vornax-fine: the capacitance matrix to a stated accuracy, with an estimate of its error.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "common/companion_request.h"
#include "common/instruction_set.h"
#include "common/memory_limit.h"
#include "common/message_text.h"
#include "common/progress_display.h"
#include "common/thread_count.h"
#include "fine/program/arguments.h"
#include "fine/program/extraction.h"
#include "run/result_file.h"
#include "run/run_start.h"
#include "structure/structure_file.h"

namespace {

/// Ends the program for bad data: one line on standard error, status 1.
[[noreturn]] void fail(const std::string& message) {
  erase_progress_line();
  std::cerr << message << '\n';
  std::exit(1);
}

std::string percent_text(double fraction) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2g %%", 100.0 * fraction);
  return text;
}

/// Memory the levels may take: most of what the process may have.
int64_t memory_for_levels() { return static_cast<int64_t>(0.8 * usable_memory_bytes()); }

/// Cap.txt: one line per conductor in file order, each value with nine significant digits
/// followed by one space. Returns whether it was written whole.
bool write_result(const std::vector<double>& value, int32_t conductors) {
  ResultFile file(kResultFileName);
  std::ostream& out = file.create();
  char number[40];
  for (int32_t j = 0; j < conductors; ++j) {
    for (int32_t k = 0; k < conductors; ++k) {
      std::snprintf(number, sizeof number, "%.9g ", value[j * conductors + k]);
      out << number;
    }
    out << '\n';
  }
  return file.commit();
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> command_line(argv + 1, argv + argc);
  if (answer_companion_request(command_line, kFineUsage, "vornax-fine " VORNAX_VERSION)) return 0;
  FineArguments arguments;
  std::string error = fine_arguments_from(command_line, arguments);
  if (!error.empty()) {
    std::cerr << "vornax-fine: " << error << '\n' << kFineUsage;
    return 2;
  }
  // The start of vornax: an early failure ends alike, and the console cannot cost the result.
  RunStartSettings start;
  start.input_name = arguments.panel_file.c_str();
  start.memory_message_stream = stderr;
  start.memory_message = "vornax-fine: not enough memory.";
  InstructionSet instruction_set;
  if (!start_run(start, instruction_set, error)) fail(error);

  FineStructure structure;
  {
    std::ifstream in(arguments.panel_file);
    if (!in)
      fail("vornax-fine: cannot open the panel file '" + one_line(arguments.panel_file) + "'.");
    StructureFormat format;
    error = read_structure(in, arguments.panel_file, WindowFaces::kOpen, structure, format);
    if (!error.empty()) fail(format == StructureFormat::kCap3d ? "vornax-fine: " + error : error);
    // The solve in dielectrics is yet to come: a cap3d file is read and checked, no more.
    if (format == StructureFormat::kCap3d) {
      fail("vornax-fine: " + one_line(arguments.panel_file) +
           ": cap3d files, conductors in dielectrics, are not supported yet.");
    }
  }
  FineOptions options;
  options.accuracy = arguments.accuracy / 100.0;
  options.threads = default_thread_count();
  options.instruction_set = instruction_set;
  options.memory_bytes = memory_for_levels();
  ProgressDisplay progress;
  std::string pass_name;
  options.starting = [&](int32_t m) {
    pass_name = "solving level " + std::to_string(m);
    progress.pass(pass_name.c_str());
  };
  options.finished = [&](const LevelReport& level) {
    progress.clear();
    std::string change = level.largest_change < 0 ? "-" : percent_text(level.largest_change);
    std::printf("Level %d: %" PRId64 " unknowns, %" PRId64 " interactions, %" PRId64
                " iterations, %.2f s, largest change %s\n",
                level.level, level.unknowns, level.interactions, level.iterations, level.seconds,
                change.c_str());
    std::fflush(stdout);
  };
  FineResult result = extract_fine(structure, options);
  progress.clear();
  if (result.end == FineEnd::solve_not_converged) {
    fail("vornax-fine: a solve of level " + std::to_string(result.failed_level) +
         " did not converge.");
  }
  if (result.end == FineEnd::no_estimate) {
    fail(
        "vornax-fine: the structure needs more memory than this machine has: three levels are "
        "needed for an error estimate.");
  }
  const int32_t conductors = static_cast<int32_t>(structure.conductors.size());
  if (!write_result(result.estimate.value, conductors))
    fail("vornax-fine: could not write Cap.txt.");
  if (result.end == FineEnd::out_of_memory) {
    std::cerr << "vornax-fine: the next level would not fit in memory; the accuracy asked for ("
              << arguments.accuracy << " %) is not reached.\n";
  }
  std::printf("Estimated error: %s\n",
              percent_text(result.estimate.largest_relative_error).c_str());
  return 0;
}
