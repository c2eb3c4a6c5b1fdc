// The canonical order of a pair, the Gauss–Legendre point counts and the split that the choice
// among the means of a Galerkin integral rests on.

#include "fine/coefficients/pair_means.h"

#include "fine/coefficients/far_pair.h"
#include "fine/coefficients/gauss_legendre.h"

namespace {

// The Gauss–Legendre rules' error bound ρ^(−2n) along each axis (see gauss_points).
constexpr double kGaussTolerance = 1e-8;
// The margin around b, in b's longest sides, of the part of a that a split keeps near b: the
// rest is at least 16 half-sides of b away, where 3 × 3 points on b do.
constexpr double kSplitMargin = 8;
// Sizes within this ratio count as equal.
constexpr double kEqualSize = 1 + 1e-6;

// The squared diagonal.
double spread(const AxisRect& r) {
  const double u = r.hi[0] - r.lo[0], v = r.hi[1] - r.lo[1];
  return u * u + v * v;
}

bool equal_spread(double s1, double s2) { return s1 <= kEqualSize * s2 && s2 <= kEqualSize * s1; }

// True when `first` comes before `second` by place: axis, level, lower and upper ends. The
// order of places is kept by scaling and rounding, so that a pair of equal sizes and the same
// pair in another unit take the same roles (the sizes alone would order them at random).
bool comes_first_by_place(const AxisRect& first, const AxisRect& second) {
  if (first.axis != second.axis) return first.axis < second.axis;
  const double f[5] = {first.plane, first.lo[0], first.lo[1], first.hi[0], first.hi[1]};
  const double s[5] = {second.plane, second.lo[0], second.lo[1], second.hi[0], second.hi[1]};
  for (int32_t k = 0; k < 5; ++k) {
    if (f[k] != s[k]) return f[k] < s[k];
  }
  return true;
}

}  // namespace

PairOrder canonical_order(const AxisRect& first, const AxisRect& second) {
  const double spread_first = spread(first), spread_second = spread(second);
  PairOrder order;
  order.both_ways = equal_spread(spread_first, spread_second);
  const bool in_order =
      order.both_ways ? comes_first_by_place(first, second) : spread_first > spread_second;
  order.a = in_order ? &first : &second;
  order.b = in_order ? &second : &first;
  order.swapped = !in_order;
  return order;
}

bool same_rectangle(const AxisRect& a, const AxisRect& b) {
  return a.axis == b.axis && a.plane == b.plane && a.lo[0] == b.lo[0] && a.lo[1] == b.lo[1] &&
         a.hi[0] == b.hi[0] && a.hi[1] == b.hi[1];
}

double rectangle_area(const AxisRect& r) { return (r.hi[0] - r.lo[0]) * (r.hi[1] - r.lo[1]); }

bool beyond_any_expansion(const SpaceBox& a, const SpaceBox& b) {
  double centres = 0, diagonal_a = 0, diagonal_b = 0;
  for (int32_t d = 0; d < 3; ++d) {
    const double offset = (a.lo[d] + a.hi[d] - b.lo[d] - b.hi[d]) / 2;
    const double side_a = a.hi[d] - a.lo[d], side_b = b.hi[d] - b.lo[d];
    centres += offset * offset;
    diagonal_a += side_a * side_a;
    diagonal_b += side_b * side_b;
  }
  const double half_diagonals = (std::sqrt(diagonal_a) + std::sqrt(diagonal_b)) / 2;
  return half_diagonals >= kLargestReach * (1 + 1e-9) * std::sqrt(centres);
}

// ρ = g + √(1 + g²), g = gap/half, from the Bernstein ellipse through a point at that distance
// from the middle, the nearest a singularity can come.
int32_t gauss_points(double gap, double half) {
  const double g = gap / half, rho = g + std::sqrt(1 + g * g), rho2 = rho * rho;
  double power = rho2;  // ρ^(2n)
  for (int32_t n = 1; n <= kMaxGaussLegendrePoints; ++n, power *= rho2) {
    if (power * kGaussTolerance >= 1) return n;
  }
  return 0;
}

bool plan_split(const AxisRect& a, const AxisRect& b, const MeansCosts& costs, Split& split) {
  const SpaceBox box_b = space_box(b);
  const int32_t u = (a.axis + 1) % 3, v = (a.axis + 2) % 3;
  const double margin = kSplitMargin * std::fmax(b.hi[0] - b.lo[0], b.hi[1] - b.lo[1]);
  split.near = a;
  split.near.lo[0] = std::fmax(a.lo[0], box_b.lo[u] - margin);
  split.near.hi[0] = std::fmin(a.hi[0], box_b.hi[u] + margin);
  split.near.lo[1] = std::fmax(a.lo[1], box_b.lo[v] - margin);
  split.near.hi[1] = std::fmin(a.hi[1], box_b.hi[v] + margin);
  if (same_rectangle(split.near, a)) return false;
  split.has_near = split.near.lo[0] < split.near.hi[0] && split.near.lo[1] < split.near.hi[1];
  split.nodes_u = gauss_points(margin, (b.hi[0] - b.lo[0]) / 2);
  split.nodes_v = gauss_points(margin, (b.hi[1] - b.lo[1]) / 2);
  split.cost = (a.axis == b.axis ? 1 : costs.perpendicular) +
               costs.point * (split.has_near ? 2 : 1) * split.nodes_u * split.nodes_v;
  return true;
}
