// vornax-fine: the capacitance matrix to a stated accuracy, with an estimate of its error.
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "capacitance/solve_threads.h"
#include "common/fatal.h"
#include "common/memory_limit.h"
#include "common/progress_display.h"
#include "fine/convergence.h"
#include "fine/feature_scale.h"
#include "fine/fine_arguments.h"
#include "fine/level_solve.h"
#include "fine/structure_reader.h"
#include "run/result_file.h"
#include "run/termination_cleanup.h"
#include "sparse/instruction_set.h"

namespace {

/// Ends the program for bad data: one line on standard error, status 1.
[[noreturn]] void fail(const std::string& message) {
  erase_progress_line();
  std::cerr << message << '\n';
  std::exit(1);
}

/// The far field and solves of a level are kept well below the accuracy asked for, so that the
/// differences between levels measure the discretisation alone.
LevelSettings settings_for(double accuracy_percent, int32_t threads) {
  LevelSettings settings;
  settings.threads = threads;
  settings.instruction_set = best_instruction_set();
  if (accuracy_percent < 0.5) {
    settings.expansion_order = 10;
    settings.separation = 0.5;
  }
  return settings;
}

/// The relative error of a level's matrix from its far field and solves, in proportion to the
/// diagonal entries.
double level_floor(const LevelSettings& settings) {
  return settings.expansion_order >= 10 ? 1e-6 : 1e-5;
}

/// The level after m: about 1.4 times finer, so that each level costs about twice the last.
int32_t next_level(int32_t m) {
  int32_t next = static_cast<int32_t>(std::lround(1.4 * m));
  return next > m ? next : m + 1;
}

std::string percent_text(double fraction) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2g %%", 100.0 * fraction);
  return text;
}

bool write_result(const std::vector<double>& value, int32_t conductors) {
  ResultFile file(kResultFileName);
  std::ostream& out = file.stream();
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
  FineArguments arguments;
  std::string error =
      fine_arguments_from(std::vector<std::string>(argv + 1, argv + argc), arguments);
  if (!error.empty()) {
    std::cerr << "vornax-fine: " << error << '\n' << kFineUsage;
    return 2;
  }
  if (arguments.help) {
    std::cout << kFineUsage;
    return 0;
  }
  remove_stale_result(kResultFileName, arguments.panel_file.c_str());
  clean_up_at_termination();
  install_out_of_memory_handler(stderr);
  limit_address_space_to_physical_memory();

  FineStructure structure;
  {
    std::ifstream in(arguments.panel_file);
    if (!in) fail("vornax-fine: cannot open the panel file '" + arguments.panel_file + "'.");
    error = read_fine_structure(in, arguments.panel_file, structure);
    if (!error.empty()) fail(error);
  }
  const int32_t conductors = static_cast<int32_t>(structure.conductors.size());
  const int32_t threads = solve_thread_count(
      static_cast<int32_t>(std::thread::hardware_concurrency()), 1, std::getenv("VORNAX_THREADS"));
  const LevelSettings settings = settings_for(arguments.accuracy, threads);
  const double target = arguments.accuracy / 100.0;
  const std::vector<double> feature = feature_scales(structure);

  ProgressDisplay progress;
  std::vector<int32_t> levels;
  std::vector<std::vector<double>> matrices;
  LevelResult previous;
  ConvergenceEstimate estimate;
  std::string pass_name;
  for (int32_t m = 1;; m = next_level(m)) {
    pass_name = "solving level " + std::to_string(m);
    progress.pass(pass_name.c_str());
    auto start = std::chrono::steady_clock::now();
    LevelResult result =
        solve_level(structure, feature, m, settings, levels.empty() ? nullptr : &previous);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!result.converged)
      fail("vornax-fine: a solve of level " + std::to_string(m) + " did not converge.");
    levels.push_back(m);
    matrices.push_back(result.capacitance);
    estimate = estimate_convergence(levels, matrices, conductors, level_floor(settings));
    progress.clear();
    std::string change =
        levels.size() < 2 ? "-" : percent_text(largest_relative_change(matrices, conductors));
    std::printf("Level %d: %zu unknowns, %" PRId64 " interactions, %" PRId64
                " iterations, %.2f s, largest change %s\n",
                m, result.mesh.panels.size(), result.near_entries + result.far_links,
                result.iterations, seconds, change.c_str());
    std::fflush(stdout);
    if (estimate.largest_relative_error <= target) break;
    previous = std::move(result);
  }
  if (!write_result(estimate.value, conductors)) fail("vornax-fine: could not write Cap.txt.");
  std::printf("Estimated error: %s\n", percent_text(estimate.largest_relative_error).c_str());
  return 0;
}
