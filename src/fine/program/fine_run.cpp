#include "fine/program/fine_run.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
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
#include "fine/program/named_output.h"
#include "run/result_file.h"
#include "run/run_start.h"
#include "structure/structure_file.h"

namespace {

bool silent = false;  // a process of a shared run that leaves the speaking to another
std::function<void()> end_together;  // see FineProcess

/// Ends the program for bad data: one line on standard error, status 1. A failure that may be
/// this process's alone (`own`) is told by it even when it leaves the speaking to another.
[[noreturn]] void fail(const std::string& message, bool own = false) {
  if (!silent || own) {
    erase_progress_line();
    std::cerr << message << '\n';
  }
  if (!own && end_together) end_together();
  std::exit(1);
}

/// Reads the input file whole from the file system.
bool read_whole_file(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  text = content.str();
  return !in.bad();
}

std::string percent_text(double fraction) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2g %%", 100.0 * fraction);
  return text;
}

/// Memory the levels may take: most of what the process may have.
int64_t memory_for_levels() { return static_cast<int64_t>(0.8 * usable_memory_bytes()); }

/// Cap.txt: one line per row (a conductor in file order, or a master net in its order), each value
/// with nine significant digits followed by one space. Returns whether it was written whole.
bool write_result(const std::vector<double>& value, int32_t rows, int32_t conductors) {
  ResultFile file(kResultFileName);
  std::ostream& out = file.create();
  char number[40];
  for (int32_t j = 0; j < rows; ++j) {
    for (int32_t k = 0; k < conductors; ++k) {
      std::snprintf(number, sizeof number, "%.9g ", value[j * conductors + k]);
      out << number;
    }
    out << '\n';
  }
  return file.commit();
}

/// The named couplings of --dspf. Returns whether they were written whole.
bool write_named(const std::string& name, const FineStructure& structure, const FineResult& result,
                 double min_coupling) {
  ResultFile file(name);
  write_dspf(file.create(), structure, result.rows, result.estimate.value, min_coupling);
  return file.commit();
}

/// One line per row: the net's name, its total (farads where the unit is known, else Cap.txt's
/// unit) and the estimated error of its entries.
void print_rows(const FineStructure& structure, const FineResult& result) {
  const size_t conductors = structure.conductors.size();
  const ConvergenceEstimate& e = result.estimate;
  for (size_t r = 0; r < result.rows.size(); ++r) {
    const int32_t k = result.rows[r];
    double largest = 0.0;
    for (size_t c = 0; c < conductors; ++c) {
      const size_t at = r * conductors + c;
      if (e.significant[at] && !(e.error[at] / std::fabs(e.value[at]) <= largest))
        largest = e.error[at] / std::fabs(e.value[at]);
    }
    const double total = e.value[r * conductors + k];
    if (structure.length_unit.empty()) {
      std::printf("Net %s: total %.6g, estimated error %s\n", structure.conductors[k].label.c_str(),
                  total, percent_text(largest).c_str());
    } else {
      std::printf("Net %s: total %.6g F, estimated error %s\n",
                  structure.conductors[k].label.c_str(),
                  total * std::pow(10.0, farad_exponent(structure.length_unit)),
                  percent_text(largest).c_str());
    }
  }
}

/// The structure of the command line's file; ends the run on a fault.
StructureFormat read_input(const FineArguments& arguments, const FineProcess& process,
                           FineStructure& structure) {
  StructureFormat format = StructureFormat::kPanelFile;
  std::string text;
  const bool read = process.read_input ? process.read_input(arguments.panel_file, text)
                                       : read_whole_file(arguments.panel_file, text);
  if (!read)
    fail("vornax-fine: cannot open the panel file '" + one_line(arguments.panel_file) + "'.");
  std::istringstream in(std::move(text));
  const WindowFaces faces = arguments.grounded_window ? WindowFaces::kGrounded : WindowFaces::kOpen;
  const std::string error = read_structure(in, arguments.panel_file, faces, structure, format);
  if (!error.empty()) fail(format == StructureFormat::kCap3d ? "vornax-fine: " + error : error);
  if (format == StructureFormat::kCap3d && arguments.permittivity_given) {
    fail("vornax-fine: " + one_line(arguments.panel_file) +
         ": --permittivity is for panel files; a cap3d file has its own media.");
  }
  return format;
}

}  // namespace

int run_fine(const std::vector<std::string>& command_line, const FineProcess& process) {
  silent = !process.speaks;
  end_together = process.end_together;
  if (answer_companion_request(command_line, kFineUsage, "vornax-fine " VORNAX_VERSION)) return 0;
  FineArguments arguments;
  std::string error = fine_arguments_from(command_line, arguments);
  if (!error.empty()) {
    if (process.speaks) std::cerr << "vornax-fine: " << error << '\n' << kFineUsage;
    return 2;
  }
  // The start of vornax: an early failure ends alike, and the console cannot cost the result.
  RunStartSettings start;
  start.result_name = process.speaks ? kResultFileName : nullptr;
  start.input_name = arguments.panel_file.c_str();
  start.sharing_processes = process.sharing_processes;
  start.memory_message_stream = stderr;
  start.memory_message = "vornax-fine: not enough memory.";
  InstructionSet instruction_set;
  if (!start_run(start, instruction_set, error)) fail(error, true);

  FineStructure structure;
  const StructureFormat format = read_input(arguments, process, structure);
  FineOptions options;
  error = master_conductors(structure, arguments.nets, arguments.all_nets, options.masters);
  if (!error.empty()) fail("vornax-fine: " + one_line(arguments.panel_file) + ": " + error);
  options.permittivity = arguments.permittivity;
  options.accuracy = arguments.accuracy / 100.0;
  options.threads = process.threads > 0 ? process.threads : default_thread_count();
  options.instruction_set = instruction_set;
  options.memory_bytes = memory_for_levels();
  if (process.agree_memory) options.memory_bytes = process.agree_memory(options.memory_bytes);
  options.share = process.share;
  ProgressDisplay progress;
  std::string pass_name;
  if (process.speaks) {
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
  }
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
  if (!process.speaks) return 0;
  const int32_t conductors = static_cast<int32_t>(structure.conductors.size());
  const int32_t rows = static_cast<int32_t>(result.rows.size());
  if (!write_result(result.estimate.value, rows, conductors))
    fail("vornax-fine: could not write Cap.txt.", true);
  if (!arguments.dspf_file.empty() &&
      !write_named(arguments.dspf_file, structure, result, arguments.min_coupling / 100.0)) {
    fail("vornax-fine: could not write '" + one_line(arguments.dspf_file) + "'.", true);
  }
  if (result.end == FineEnd::out_of_memory) {
    std::cerr << "vornax-fine: the next level would not fit in memory; the accuracy asked for ("
              << arguments.accuracy << " %) is not reached.\n";
  }
  if (!options.masters.empty() || format == StructureFormat::kCap3d) print_rows(structure, result);
  std::printf("Estimated error: %s\n",
              percent_text(result.estimate.largest_relative_error).c_str());
  return 0;
}
