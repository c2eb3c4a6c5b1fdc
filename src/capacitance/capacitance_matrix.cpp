#include <cstdlib>
#include <iostream>

#include "run/capacitance_extractor.h"
#include "run/fatal.h"
#include "sparse/sparse_matrix.h"

namespace {

/// 4 * pi * 8.85: with this excitation the charge sums come out in units of
/// 1e-12 F times the coordinates' unit in metres.
const double kExcitation = 111.212379937086;

double* zeroed_vector(int32_t n) {
  return static_cast<double*>(calloc_or_exit(static_cast<std::size_t>(n), sizeof(double)));
}

}  // namespace

void CapacitanceExtractor::compute_capacitance() {
  const int32_t n = unknown_count;
  const int32_t m = static_cast<int32_t>(conductor_count);
  double* b = zeroed_vector(n);
  double* x = zeroed_vector(n);
  double* p = zeroed_vector(n);
  double* r = zeroed_vector(n);
  double* z = zeroed_vector(n);
  double* q = zeroed_vector(n);

  capacitance_matrix = std::make_unique<SparseMatrix>(m, m, ASYM);
  // Conductor k owns the unknowns 6k .. 6k+5: its six input panels.
  for (int32_t k = 0; k < m; ++k) {
    for (int32_t i = 0; i < 6; ++i) {
      b[6 * k + i] = kExcitation;
      if (k >= 1) b[6 * (k - 1) + i] = 0.0;
    }
    for (int32_t i = 0; i < n; ++i) x[i] = 0.0;
    int32_t iterations = factor->pcg_solve(x, *p_matrix, b, p, r, z, q, pcg_tolerance);
    if (iterations < 0) {
      std::cout << "Error: The solve for conductor " << k + 1 << " (number "
                << panels[6 * k].conductor << ") did not converge." << std::endl;
      std::exit(1);
    }
    pcg_iteration_count += iterations;
    for (int32_t j = 0; j < m; ++j) {
      double sum = 0.0;
      for (int32_t i = 0; i < 6; ++i) sum += x[6 * j + i];
      capacitance_matrix->push_entry(j, k, sum);
    }
  }
  capacitance_matrix->rebuild_links();

  std::free(b);
  std::free(x);
  std::free(p);
  std::free(r);
  std::free(z);
  std::free(q);
}
