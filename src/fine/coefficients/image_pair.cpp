// The far expansion's check, the lower bound and the normal field's scale for every image of a
// pair, from what the images share. The check itself (far_pair.cpp) refuses a pair when for
// every order the bound on the terms it leaves out, r^(2k+2)/(2k+3) (any shapes, r the reach) or
// the pair's own ⟨|w|^(2k)⟩ in units of |D|^(2k), exceeds moment_allowance. Both bounds fall
// with the order much faster than the allowance (by r² ≤ 0.25 a step against at most 2k+2 over
// 2k+4), so the highest order decides: where it fails, every order fails. In units of the
// half-diagonals H, the own moments are the pair's alone, times r^(2k) = (H/|D|)^(2k).

#include "fine/coefficients/image_pair.h"

#include <cmath>

#include "fine/coefficients/pair_means.h"

namespace {

// Relative margin by which a bound must miss before an image is refused: the check computes
// the same quantities in another order, within some 1e-15 of these.
constexpr double kLoose = 1 + 1e-6;

// The gap of the boxes along z.
double gap_along(const SpaceBox& a, const SpaceBox& b) {
  return std::fmax(std::fmax(a.lo[2] - b.hi[2], b.lo[2] - a.hi[2]), 0.0);
}

// The offset of the centres along z.
double offset_along(const SpaceBox& a, const SpaceBox& b) {
  return (a.lo[2] + a.hi[2] - b.lo[2] - b.hi[2]) / 2;
}

// ⟨|w|^(2k)⟩ of the pair in units of H^(2k).
void fill_spreads(ImagePair& pair, const SpaceBox& source) {
  FarPair units{};
  for (int32_t d = 0; d < 3; ++d) {
    units.half_a[d] = (pair.target.hi[d] - pair.target.lo[d]) / 2 / pair.half_diagonals;
    units.half_b[d] = (source.hi[d] - source.lo[d]) / 2 / pair.half_diagonals;
  }
  pair_spreads(units, pair.spread);
  pair.spreads_made = true;
}

// The loosest tolerance the means give the expansion under `allowance`: relative to A·A'/g
// (g the gap) for the potential, to A·A'/|D|² for the normal field.
double loosest_tolerance(const ImagePair& pair, const SpaceBox& image, ExpansionOf of,
                         double allowance, double distance_squared) {
  if (!(allowance > 0)) return kFarTolerance;
  double scale = distance_squared;
  if (of == ExpansionOf::potential) {
    const double gap = gap_along(pair.target, image);
    scale = std::sqrt(pair.gap_across_squared + gap * gap);
  }
  const double loosest = kLoose * allowance * scale / (pair.target_area * pair.source_area);
  return std::fmax(kFarTolerance, std::fmin(kLoosestFarTolerance, loosest));
}

}  // namespace

ImagePair image_pair(const AxisRect& a, const AxisRect& b) {
  ImagePair pair;
  pair.target = space_box(a);
  const SpaceBox source = space_box(b);
  pair.target_area = rectangle_area(a);
  pair.source_area = rectangle_area(b);
  double diagonal_a = 0, diagonal_b = 0;
  pair.across_squared = pair.gap_across_squared = pair.spread_across = 0;
  for (int32_t d = 0; d < 3; ++d) {
    const double side_a = pair.target.hi[d] - pair.target.lo[d];
    const double side_b = source.hi[d] - source.lo[d];
    diagonal_a += side_a * side_a;
    diagonal_b += side_b * side_b;
    const double variances = (side_a * side_a + side_b * side_b) / 12;
    if (d == 2) {
      pair.target_height_squared = side_a * side_a;
      continue;
    }
    const double offset = (pair.target.lo[d] + pair.target.hi[d] - source.lo[d] - source.hi[d]) / 2;
    const double gap = std::fmax(
        std::fmax(pair.target.lo[d] - source.hi[d], source.lo[d] - pair.target.hi[d]), 0.0);
    pair.across_squared += offset * offset;
    pair.gap_across_squared += gap * gap;
    pair.spread_across += offset * offset + variances;
  }
  pair.half_diagonals = (std::sqrt(diagonal_a) + std::sqrt(diagonal_b)) / 2;
  pair.spreads_made = false;
  return pair;
}

double image_lower_bound(const ImagePair& pair, const AxisRect& image) {
  const SpaceBox box = space_box(image);
  const double along = offset_along(pair.target, box);
  const double height = box.hi[2] - box.lo[2];
  const double spread_along = (pair.target_height_squared + height * height) / 12;
  const double squared = pair.spread_across + (along * along + spread_along);
  return pair.target_area * rectangle_area(image) / std::sqrt(squared);
}

double image_normal_scale(const ImagePair& pair, const AxisRect& image) {
  const SpaceBox box = space_box(image);
  const double along = gap_along(pair.target, box);
  const double gap = std::sqrt(pair.gap_across_squared + along * along);
  const double area = rectangle_area(image);
  return std::fmin(2 * M_PI * std::fmin(pair.target_area, area),
                   pair.target_area * area / (gap * gap));
}

bool far_ruled_out(ImagePair& pair, const AxisRect& rect, ExpansionOf of, double allowance) {
  const SpaceBox image = space_box(rect);
  const double along = offset_along(pair.target, image);
  const double distance_squared = pair.across_squared + along * along;
  // The reach H/|D| at kLargestReach or beyond, without a root.
  const double largest = kLargestReach * kLoose;
  if (pair.half_diagonals * pair.half_diagonals >= largest * largest * distance_squared) {
    return true;
  }
  const double reach = pair.half_diagonals / std::sqrt(distance_squared);
  const double tolerance = loosest_tolerance(pair, image, of, allowance, distance_squared);
  // The highest order, 2·top − 2: the any-shape bound r^(2·top)/(2·top + 1) and the own
  // ⟨|w|^(2·top)⟩ against the same allowance.
  const int32_t top = kMomentCount - 1;
  const double r2 = reach * reach;
  double power = r2;  // r^(2·top)
  for (int32_t k = 1; k < top; ++k) power *= r2;
  if (power <= kLoose * moment_allowance(of, tolerance, reach, top) * (2 * top + 1)) {
    return false;
  }
  if (!(reach < kLargestOwnReach * kLoose)) return true;
  if (!pair.spreads_made) fill_spreads(pair, image);
  return !(pair.spread[top] * power <= kLoose * moment_allowance(of, tolerance, reach, top));
}
