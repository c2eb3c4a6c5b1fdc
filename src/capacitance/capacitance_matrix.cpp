#include <cstdlib>
#include <iostream>
#include <vector>

#include "capacitance/conductor_columns.h"
#include "capacitance/solve_sharing.h"
#include "model/capacitance_extractor.h"
#include "sparse/compact_arrays.h"
#include "sparse/pcg_lanes.h"
#include "sparse/sparse_matrix.h"

/// The run ends when a conductor's solve gives up.
void CapacitanceExtractor::report_failed_solve(int32_t k) {
  progress.clear();
  std::cout << "Error: The solve for conductor " << k + 1 << " (number " << panels[6 * k].conductor
            << ") did not converge." << std::endl;
  std::exit(1);
}

void CapacitanceExtractor::compute_capacitance() {
  const int32_t n = unknown_count;
  const int32_t m = static_cast<int32_t>(conductor_count);
  capacitance_matrix = std::make_unique<SparseMatrix>(m, m, ASYM);

  // Every solve starts from zero; column k of the matrix holds the charges of solve k.
  auto make_rhs = [&](int32_t k, double* b) { conductor_excitation(k, n, b); };
  std::vector<double> columns(static_cast<std::size_t>(m) * static_cast<std::size_t>(m));
  auto take_solution = [&](int32_t k, const double* x, int32_t iterations) {
    pcg_iteration_count += iterations;
    conductor_charges(x, m, &columns[static_cast<std::size_t>(k) * m]);
  };

  // The solves run side by side over flat copies of P and of the factor; each performs exactly
  // the operations of its own pcg_solve with the factor.
  int32_t failed;
  {
    const CompactSymmetric compact_p(*p_matrix);
    const CompactFactor compact_factor(*factor);
    LaneSolveSettings settings;
    // The solves are independent, so they share the processor's cores.
    settings.thread_count = thread_count;
    settings.instruction_set = instruction_set;
    if (progress.enabled()) settings.progress = [&](int32_t solved) { progress.solves(solved, m); };
    if (solve_sharing != nullptr) {
      settings.widest_group =
          solve_sharing->begin(compact_p, compact_factor, pcg_tolerance, m, columns.data());
      settings.claim = solve_sharing->claim;
      settings.lowest_failure = solve_sharing->lowest_failure;
      settings.progress = [&](int32_t solved) {
        const int32_t elsewhere = solve_sharing->serve();
        if (progress.enabled()) progress.solves(solved + elsewhere, m);
      };
      settings.progress_milliseconds = 1;
    }
    failed = pcg_solve_lanes(compact_p, compact_factor, m, make_rhs, take_solution, pcg_tolerance,
                             settings);
    if (solve_sharing != nullptr) failed = solve_sharing->finish(failed, pcg_iteration_count);
  }
  if (failed >= 0) report_failed_solve(failed);

  for (int32_t k = 0; k < m; ++k) {
    for (int32_t j = 0; j < m; ++j) {
      capacitance_matrix->push_entry(j, k, columns[static_cast<std::size_t>(k) * m + j]);
    }
  }
  capacitance_matrix->rebuild_links();
}
