// The far expansion's check for every image of a pair, from what the images share. The check
// itself (far_pair.cpp) refuses a pair when for every order 2k the bound on the terms it leaves
// out, r^(2k+2)/(2k+3) for any shapes or the pair's own ⟨|w|^(2k+2)⟩, exceeds
// moment_allowance; in units of the half-diagonals H, the own moments are the pair's alone and
// scale by r^(2k) = (H/|D|)^(2k) for the image at distance |D|.

#include "fine/coefficients/image_far_bound.h"

#include <cmath>

#include "fine/coefficients/pair_means.h"

namespace {

// Relative margin by which a bound must miss before an image is refused: the check computes
// the same quantities in another order, within some 1e-15 of these.
constexpr double kMargin = 1e-9;
constexpr double kLoose = 1 + 1e-6;

// ⟨|w|^(2k)⟩ of the pair in units of H^(2k).
void fill_spreads(ImageFarBound& bound, const SpaceBox& source) {
  FarPair pair{};
  for (int32_t d = 0; d < 3; ++d) {
    pair.half_a[d] = (bound.target.hi[d] - bound.target.lo[d]) / 2 / bound.half_diagonals;
    pair.half_b[d] = (source.hi[d] - source.lo[d]) / 2 / bound.half_diagonals;
  }
  pair_spreads(pair, bound.spread);
  bound.spreads_made = true;
}

// The loosest tolerance the means give the expansion under `allowance`: relative to A·A'/g
// (g the gap) for the potential, to A·A'/|D|² for the normal field.
double loosest_tolerance(const ImageFarBound& bound, ExpansionOf of, double allowance,
                         double distance_squared, double gap) {
  if (!(allowance > 0)) return kFarTolerance;
  const double scale = of == ExpansionOf::potential ? gap : distance_squared;
  return std::fmax(kFarTolerance, std::fmin(kLoosestFarTolerance,
                                            kLoose * allowance * scale / bound.area_product));
}

}  // namespace

ImageFarBound image_far_bound(const AxisRect& a, const AxisRect& b) {
  ImageFarBound bound;
  bound.target = space_box(a);
  const SpaceBox source = space_box(b);
  double diagonal_a = 0, diagonal_b = 0;
  bound.across_squared = bound.gap_across_squared = 0;
  for (int32_t d = 0; d < 3; ++d) {
    const double side_a = bound.target.hi[d] - bound.target.lo[d];
    const double side_b = source.hi[d] - source.lo[d];
    diagonal_a += side_a * side_a;
    diagonal_b += side_b * side_b;
    if (d == 2) continue;
    const double offset =
        (bound.target.lo[d] + bound.target.hi[d] - source.lo[d] - source.hi[d]) / 2;
    const double gap = std::fmax(
        std::fmax(bound.target.lo[d] - source.hi[d], source.lo[d] - bound.target.hi[d]), 0.0);
    bound.across_squared += offset * offset;
    bound.gap_across_squared += gap * gap;
  }
  bound.half_diagonals = (std::sqrt(diagonal_a) + std::sqrt(diagonal_b)) / 2;
  bound.half_heights = (bound.target.hi[2] - bound.target.lo[2] + source.hi[2] - source.lo[2]) / 2;
  bound.area_product = rectangle_area(a) * rectangle_area(b);
  bound.spreads_made = false;
  return bound;
}

bool far_ruled_out(ImageFarBound& bound, const AxisRect& image, ExpansionOf of, double allowance) {
  const SpaceBox box = space_box(image);
  const double along = (bound.target.lo[2] + bound.target.hi[2] - box.lo[2] - box.hi[2]) / 2;
  const double distance_squared = bound.across_squared + along * along;
  const double reach = bound.half_diagonals / std::sqrt(distance_squared);  // ∞ at 0
  if (!(reach < kLargestReach * (1 + kMargin))) return true;
  const double gap_along = std::fmax(std::fabs(along) - bound.half_heights, 0.0);
  const double gap = std::sqrt(bound.gap_across_squared + gap_along * gap_along);
  const double tolerance = loosest_tolerance(bound, of, allowance, distance_squared, gap);
  const double r2 = reach * reach;
  double power = r2;  // r^(2k+2)
  for (int32_t k = 0; k < kHalfOrders; ++k, power *= r2) {
    if (power <= kLoose * moment_allowance(of, tolerance, reach, k + 1) * (2 * k + 3)) {
      return false;
    }
  }
  if (!(reach < kLargestOwnReach * (1 + kMargin))) return true;
  if (!bound.spreads_made) fill_spreads(bound, space_box(image));
  power = r2;  // r^(2k)
  for (int32_t k = 1; k < kMomentCount; ++k, power *= r2) {
    if (bound.spread[k] * power <= kLoose * moment_allowance(of, tolerance, reach, k)) {
      return false;
    }
  }
  return true;
}
