#include "capacitance/conductor_columns.h"

#include "common/physical_constants.h"

namespace {

/// 4 * pi * 8.85: with this excitation the charge sums come out in units of
/// 1e-12 F times the coordinates' unit in metres.
const double kExcitation = kFourPiEpsilon0;

}  // namespace

void conductor_excitation(int32_t k, int32_t n, double* b) {
  for (int32_t i = 0; i < n; ++i) b[i] = 0.0;
  for (int32_t i = 0; i < 6; ++i) b[6 * k + i] = kExcitation;
}

void conductor_charges(const double* x, int32_t m, double* column) {
  for (int32_t j = 0; j < m; ++j) {
    double sum = 0.0;
    for (int32_t i = 0; i < 6; ++i) sum += x[6 * j + i];
    column[j] = sum;
  }
}
