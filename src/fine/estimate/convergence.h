#pragma once

#include <cstdint>
#include <vector>

/// The capacitance matrices of successive refinement levels, extrapolated to the limit, with
/// an estimate of the error of each entry.
///
/// The panels of level m are graded so that the error of an entry falls like m⁻³ once m is
/// past the first level. From the last three levels m₁ < m₂ < m₃, an entry whose two changes
/// have one sign and shrink at least as fast as a rate of m⁻² allows is extrapolated with the
/// rate m⁻³; an entry whose changes do not behave so (a small coupling, whose first level is
/// far from the limit, can change direction) keeps its last value. Its error is estimated as half
/// again the correction that the slower rate m⁻² would make from the last change, or that of
/// m⁻³ where the two changes show a rate near it (between m⁻²·⁵ and m⁻⁴·⁵). Checked against
/// further levels on buses and standard cells, the largest true error of the significant
/// entries stayed below two thirds of the largest estimate. With fewer than three levels nothing
/// is trusted.
struct ConvergenceEstimate {
  std::vector<double> value;      // extrapolated entries, row by row
  std::vector<double> error;      // estimated absolute error of each entry
  std::vector<char> significant;  // |entry| >= 1 % of its row's diagonal
  double largest_relative_error;  // error / |value| over the significant entries
};

/// `levels[i]` is the m of `matrices[i]`, ascending; every matrix is conductors × conductors,
/// or with `rows`, rows.size() × conductors, row r that of conductor rows[r] (its diagonal entry
/// in column rows[r]). `floor` is the relative accuracy of each level's own matrix (its far
/// field and solves), added to every estimate in proportion to the geometric mean of the two
/// diagonal entries (for a column without a row, its row's own).
ConvergenceEstimate estimate_convergence(const std::vector<int32_t>& levels,
                                         const std::vector<std::vector<double>>& matrices,
                                         int32_t conductors, double floor,
                                         const std::vector<int32_t>& rows = {});

/// The largest |change| / |entry| between the last two matrices over the entries that are at
/// least 1 % of their row's diagonal in the last one; 0 with fewer than two matrices. `rows` as
/// for estimate_convergence.
double largest_relative_change(const std::vector<std::vector<double>>& matrices, int32_t conductors,
                               const std::vector<int32_t>& rows = {});

/// Whether `entry` counts: at least 1 % of the diagonal entry of its row.
inline bool is_significant(double entry, double diagonal) {
  return entry >= 0.01 * diagonal || -entry >= 0.01 * diagonal;
}
