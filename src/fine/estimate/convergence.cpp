#include "fine/estimate/convergence.h"

#include <cmath>
#include <limits>

namespace {

constexpr double kRate = 3.0;      // the rate the extrapolation assumes
constexpr double kSlowRate = 2.0;  // the slowest rate the estimate covers
constexpr double kMargin = 1.5;    // the estimate is this times the covered rate's correction
// An entry whose two changes show a rate between these two is covered for the rate m⁻³ only.
// Even at the slower one, the value extrapolated with m⁻³ is off by a quarter of the margin's
// correction at most (levels 1, 2, 3: 0.15 of the last change against 0.63; 2, 3, 4: 0.22
// against 1.1), so the margin still has room for a first level that is not yet on the power
// law. A ratio faster than the faster bound says the first level is far off, not that the
// entry converges fast: such an entry keeps the slow rate's estimate.
constexpr double kSlowestCredited = 2.5;
constexpr double kFastestCredited = 4.5;

/// Ratio of the second change to the first under e(m) = e∞ + a m^-p.
double change_ratio(double m1, double m2, double m3, double p) {
  return (std::pow(m2, -p) - std::pow(m3, -p)) / (std::pow(m1, -p) - std::pow(m2, -p));
}

/// The conductor of each row: `rows`, or every conductor.
std::vector<int32_t> row_conductors(const std::vector<int32_t>& rows, int32_t conductors) {
  if (!rows.empty()) return rows;
  std::vector<int32_t> all(conductors);
  for (int32_t k = 0; k < conductors; ++k) all[k] = k;
  return all;
}

}  // namespace

ConvergenceEstimate estimate_convergence(const std::vector<int32_t>& levels,
                                         const std::vector<std::vector<double>>& matrices,
                                         int32_t conductors, double floor,
                                         const std::vector<int32_t>& rows) {
  ConvergenceEstimate estimate;
  const std::vector<int32_t> of_row = row_conductors(rows, conductors);
  const int32_t row_count = static_cast<int32_t>(of_row.size());
  const size_t count = static_cast<size_t>(row_count) * conductors;
  const size_t last = matrices.size() - 1;
  const std::vector<double>& e3 = matrices[last];
  // The row of each conductor's diagonal entry, -1 where it has none.
  std::vector<int32_t> row_of(conductors, -1);
  for (int32_t r = 0; r < row_count; ++r) row_of[of_row[r]] = r;
  auto diagonal = [&](int32_t r) { return e3[r * conductors + of_row[r]]; };
  estimate.value = e3;
  estimate.error.assign(count, std::numeric_limits<double>::infinity());
  estimate.significant.assign(count, 0);
  estimate.largest_relative_error = 0.0;
  for (int32_t j = 0; j < row_count; ++j) {
    for (int32_t k = 0; k < conductors; ++k) {
      estimate.significant[j * conductors + k] =
          is_significant(e3[j * conductors + k], diagonal(j));
    }
  }
  if (matrices.size() >= 3) {
    const std::vector<double>& e1 = matrices[last - 2];
    const std::vector<double>& e2 = matrices[last - 1];
    const double m1 = levels[last - 2], m2 = levels[last - 1], m3 = levels[last];
    const double slowest_ratio = change_ratio(m1, m2, m3, kSlowRate);
    const double credited_slowest = change_ratio(m1, m2, m3, kSlowestCredited);
    const double credited_fastest = change_ratio(m1, m2, m3, kFastestCredited);
    for (int32_t j = 0; j < row_count; ++j) {
      for (int32_t k = 0; k < conductors; ++k) {
        const size_t at = j * conductors + k;
        const double d1 = e2[at] - e1[at], d2 = e3[at] - e2[at];
        const double other = row_of[k] >= 0 ? diagonal(row_of[k]) : diagonal(j);
        const double noise = floor * std::sqrt(std::fabs(diagonal(j) * other));
        const bool regular = d1 * d2 > 0.0 && std::fabs(d2) <= slowest_ratio * std::fabs(d1);
        const bool fast = d1 * d2 > 0.0 && std::fabs(d2) <= credited_slowest * std::fabs(d1) &&
                          std::fabs(d2) >= credited_fastest * std::fabs(d1);
        const double covered_rate = fast ? kRate : kSlowRate;
        const double correction = std::fabs(d2) / (std::pow(m3 / m2, covered_rate) - 1.0);
        if (regular) estimate.value[at] = e3[at] + d2 / (std::pow(m3 / m2, kRate) - 1.0);
        estimate.error[at] = kMargin * correction + noise;
      }
    }
  }
  for (size_t at = 0; at < count; ++at) {
    if (!estimate.significant[at]) continue;
    double relative = estimate.error[at] / std::fabs(estimate.value[at]);
    if (!(relative <= estimate.largest_relative_error)) estimate.largest_relative_error = relative;
  }
  return estimate;
}

double largest_relative_change(const std::vector<std::vector<double>>& matrices, int32_t conductors,
                               const std::vector<int32_t>& rows) {
  if (matrices.size() < 2) return 0.0;
  const std::vector<int32_t> of_row = row_conductors(rows, conductors);
  const std::vector<double>& now = matrices.back();
  const std::vector<double>& before = matrices[matrices.size() - 2];
  double largest = 0.0;
  for (int32_t j = 0; j < static_cast<int32_t>(of_row.size()); ++j) {
    for (int32_t k = 0; k < conductors; ++k) {
      const size_t at = j * conductors + k;
      if (!is_significant(now[at], now[j * conductors + of_row[j]])) continue;
      double change = std::fabs(now[at] - before[at]) / std::fabs(now[at]);
      if (!(change <= largest)) largest = change;
    }
  }
  return largest;
}
