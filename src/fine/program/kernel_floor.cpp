#include "fine/program/kernel_floor.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kShareOfAccuracy = 0.1;   // the fit's term on the smallest counted entry
constexpr double kFirstLevelMargin = 0.5;  // for the first level's coarse values
constexpr double kCountedAtFirst = 0.005;  // entries of this share of their row's diagonal count
constexpr double kTightest = 0.01;         // the tolerance never falls below this share of the
                                           // default: the fits' cost grows with every decade

}  // namespace

double level_floor(const LevelSettings& settings) {
  return settings.highest_degree >= 12 ? 3e-7 : 3e-6;
}

double kernel_floor(const LayeredKernel& kernel, const SolveFaces& faces) {
  std::vector<int32_t> layers;
  for (const FaceMedium& face : faces.medium) layers.push_back(face.layer);
  std::sort(layers.begin(), layers.end());
  layers.erase(std::unique(layers.begin(), layers.end()), layers.end());
  kernel.make_pairs(layers);
  double largest = 0.0;
  for (int32_t source : layers) {
    for (int32_t target : layers) largest = std::max(largest, kernel.pair(source, target).error);
  }
  return largest;
}

double kernel_tolerance_for(double accuracy) { return 0.02 * accuracy; }

double kernel_tolerance_for_matrix(double accuracy, const std::vector<double>& matrix,
                                   int32_t conductors, const std::vector<int32_t>& rows) {
  std::vector<int32_t> of_row = rows;
  if (of_row.empty()) {
    for (int32_t k = 0; k < conductors; ++k) of_row.push_back(k);
  }
  const int32_t row_count = static_cast<int32_t>(of_row.size());
  std::vector<int32_t> row_of(conductors, -1);
  for (int32_t r = 0; r < row_count; ++r) row_of[of_row[r]] = r;
  auto diagonal = [&](int32_t r) { return std::fabs(matrix[r * conductors + of_row[r]]); };
  // The smallest counted entry over the geometric mean of its two diagonal entries (for a
  // column without a row, its row's own), as the estimate weighs the fit's term.
  double smallest = 1.0;
  for (int32_t j = 0; j < row_count; ++j) {
    for (int32_t k = 0; k < conductors; ++k) {
      const double entry = std::fabs(matrix[j * conductors + k]);
      if (!(entry >= kCountedAtFirst * diagonal(j))) continue;
      const double other = row_of[k] >= 0 ? diagonal(row_of[k]) : diagonal(j);
      const double ratio = entry / std::sqrt(diagonal(j) * other);
      if (ratio > 0.0 && ratio < smallest) smallest = ratio;
    }
  }
  const double standard = kernel_tolerance_for(accuracy);
  const double wanted = kFirstLevelMargin * kShareOfAccuracy * accuracy * smallest;
  return std::max(kTightest * standard, std::min(standard, wanted));
}
