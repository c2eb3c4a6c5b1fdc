#include <cstdlib>
#include <iostream>
#include <thread>
#include <vector>

#include "common/fatal.h"
#include "model/capacitance_extractor.h"
#include "sparse/compact_arrays.h"
#include "sparse/pcg_lanes.h"
#include "sparse/sparse_matrix.h"

namespace {

/// 4 * pi * 8.85: with this excitation the charge sums come out in units of
/// 1e-12 F times the coordinates' unit in metres.
const double kExcitation = 111.212379937086;

/// The conductor solves are independent, so they share the processor's cores; VORNAX_THREADS
/// caps the number.
int32_t solve_thread_count() {
  int32_t count = static_cast<int32_t>(std::thread::hardware_concurrency());
  if (const char* setting = std::getenv("VORNAX_THREADS")) {
    const int32_t wanted = std::atoi(setting);
    if (wanted >= 1 && (count < 1 || wanted < count)) count = wanted;
  }
  return count < 1 ? 1 : count;
}

}  // namespace

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

  // Conductor k owns the unknowns 6k .. 6k+5: its six input panels. Its right-hand side holds
  // the excitation there and zero everywhere else; every solve starts from zero.
  auto make_rhs = [&](int32_t k, double* b) {
    for (int32_t i = 0; i < n; ++i) b[i] = 0.0;
    for (int32_t i = 0; i < 6; ++i) b[6 * k + i] = kExcitation;
  };
  // Column k of the matrix: the charge of every conductor j, its six unknowns added in order.
  std::vector<double> columns(static_cast<std::size_t>(m) * static_cast<std::size_t>(m));
  auto take_solution = [&](int32_t k, const double* x, int32_t iterations) {
    pcg_iteration_count += iterations;
    for (int32_t j = 0; j < m; ++j) {
      double sum = 0.0;
      for (int32_t i = 0; i < 6; ++i) sum += x[6 * j + i];
      columns[static_cast<std::size_t>(k) * m + j] = sum;
    }
  };

  // The solves run side by side over flat copies of P and of the factor; each performs exactly
  // the operations of its own pcg_solve with the factor.
  int32_t failed;
  {
    const CompactSymmetric compact_p(*p_matrix);
    const CompactFactor compact_factor(*factor);
    LaneSolveSettings settings;
    settings.thread_count = solve_thread_count();
    settings.instruction_set = instruction_set;
    if (progress.enabled()) settings.progress = [&](int32_t solved) { progress.solves(solved, m); };
    failed = pcg_solve_lanes(compact_p, compact_factor, m, make_rhs, take_solution, pcg_tolerance,
                             settings);
  }
  if (failed >= 0) report_failed_solve(failed);

  for (int32_t k = 0; k < m; ++k) {
    for (int32_t j = 0; j < m; ++j) {
      capacitance_matrix->push_entry(j, k, columns[static_cast<std::size_t>(k) * m + j]);
    }
  }
  capacitance_matrix->rebuild_links();
}
