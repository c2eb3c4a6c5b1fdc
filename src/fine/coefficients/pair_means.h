#pragma once

// The choice among the means of a Galerkin integral over two rectangles, made from ratios of the
// pair's lengths alone (never an absolute length):
//  - the far expansion about the centres, when its bound on the truncation error allows;
//  - the closed form in double, when its rounding is small: it is tried where R⁴/(A·A') (R the
//    farthest corner distance), which bounds its loss of digits in units of the last place, is
//    below the means' `closed_form_loss`, and kept when its own estimate of its rounding allows;
//  - Gauss–Legendre points on the smaller rectangle b in the exact potential (or field) of a,
//    when b is small against its distance from a;
//  - the closed form in long double;
//  - for a small b close to a large a, a split of a into the part near b (closed form) and the
//    rest (Gauss–Legendre on b, which is small against its distance from the rest).
// The pair is first put in a canonical order, so that the choice does not depend on it. What is
// integrated, and how each means takes it, is the caller's: a `Means` provides
//   bool far(a, b, FarOrderBound, double& value)  the far expansion, if within kFarTolerance
//   bool closed(a, b, double& value)               the closed form in double, if its rounding
//                                                  allows
//   double extended(a, b)                          the closed form in long double
//   double quadrature(field, hole, has_hole, points, nodes_u, nodes_v, points_on_b)
//       Gauss–Legendre points on `points` in what `field` (less `hole`) makes there; points_on_b
//       says whether `points` is the pair's b
// and the costs of its means, in closed forms of parallel rectangles in double, the loss bound
// up to which its closed form in double is worth trying (`closed_form_loss`), and the largest
// (R / size of a)² at which the potential or field of a is trusted at Gauss–Legendre points
// (`point_loss`, about the units in the last place it loses there).

#include <cmath>
#include <cstdint>

#include "fine/coefficients/pair_expansion.h"
#include "structure/axis_rect.h"
#include "structure/space_box.h"

/// The far expansion's bound on its truncation error: relative to the potential's integral, or
/// for the normal field to A·A'/D² (D between the centres).
constexpr double kFarTolerance = 1e-7;
/// The far expansion's relative tolerance where a caller's allowance loosens it, at most: a term
/// whose allowance is larger takes the expansion of that tolerance all the same.
constexpr double kLoosestFarTolerance = 1e-3;
/// R⁴/(A·A') below which the closed form in double has always passed its rounding estimate.
constexpr double kSurelyAccurateLoss = 1000;
/// R⁴/(A·A') up to which the closed form in long double is trusted: rounding about 3e-13.
constexpr double kExtendedLoss = 2e6;

/// The costs of one kind of integral's means, in closed forms of parallel rectangles in double.
struct MeansCosts {
  double point;                   // the potential or field of a rectangle at one point
  double perpendicular;           // the perpendicular closed form in double
  double extended;                // the parallel closed form in long double
  double extended_perpendicular;  // the perpendicular one in long double
};

/// A pair in its canonical order: the larger first, or the first by place if the sizes are
/// within a factor 1 + 10⁻⁶ (the roles are then decided by their place, and the one means that
/// treats them unequally takes both ways and the mean).
struct PairOrder {
  const AxisRect* a;  // the first of the canonical order
  const AxisRect* b;  // the second
  bool both_ways;     // the sizes count as equal
  bool swapped;       // a is the second of the pair as given
};
PairOrder canonical_order(const AxisRect& first, const AxisRect& second);

bool same_rectangle(const AxisRect& a, const AxisRect& b);
double rectangle_area(const AxisRect& r);

/// True where no far expansion can take the pair of these boxes: its reach (the half-diagonals
/// over the distance of the centres) is kLargestReach or more, by a margin above the rounding;
/// a test that costs a tenth of the expansion's own refusal.
bool beyond_any_expansion(const SpaceBox& a, const SpaceBox& b);

/// The fewest Gauss–Legendre points on a segment of half-length `half` whose error bound
/// ρ^(−2n) is within 10⁻⁸, where the integrand is analytic at distance `gap` from the segment;
/// 0 when above the largest rule.
int32_t gauss_points(double gap, double half);

/// A split of a for a small b close to it: a = near + rest, where near is a's part within 8 of
/// b's longest sides around b's shadow on a's plane. The rest is at least that far from b, and
/// Gauss–Legendre points on b take its field (a's less near's); near and b take the closed form.
struct Split {
  AxisRect near;    // the part of a kept near b
  bool has_near;    // false when b's shadow with its margin misses a altogether
  int32_t nodes_u;  // Gauss–Legendre points on b along its first axis
  int32_t nodes_v;  // and along its second
  double cost;      // in closed forms of parallel rectangles in double
};
/// The split for a and b at the given costs; false when near would be all of a.
bool plan_split(const AxisRect& a, const AxisRect& b, const MeansCosts& costs, Split& split);

/// The closed form in double where it is accurate, else in long double.
template <typename Means>
double closed_or_extended(const AxisRect& a, const AxisRect& b, const Means& means) {
  double integral = 0;
  const double reach = box_reach(space_box(a), space_box(b));
  const double loss = reach * reach / rectangle_area(a) * (reach * reach / rectangle_area(b));
  if (loss <= means.closed_form_loss && means.closed(a, b, integral)) return integral;
  return means.extended(a, b);
}

/// The integral over the pair in canonical order by the cheapest of the means that are accurate
/// for it.
template <typename Means>
double by_cheapest_means(const PairOrder& order, const Means& means) {
  const AxisRect& a = *order.a;
  const AxisRect& b = *order.b;
  const bool both_ways = order.both_ways;
  // The expansion first if an order it needs no moments for will do (never where the
  // rectangles touch: it cannot converge there). Where the closed form in double is surely
  // accurate, it comes next for parallel rectangles, which is cheaper than the pair's moments
  // and a higher order; for perpendicular ones, whose closed form costs more, after those.
  const SpaceBox box_a = space_box(a), box_b = space_box(b);
  const bool apart = boxes_apart(box_a, box_b);
  double integral = 0;
  if (apart && means.far(a, b, FarOrderBound::any_shape, integral)) return integral;
  const double reach = box_reach(box_a, box_b);
  const double loss = reach * reach / rectangle_area(a) * (reach * reach / rectangle_area(b));
  bool closed_form_tried = false;
  if (loss <= kSurelyAccurateLoss && a.axis == b.axis) {
    if (means.closed(a, b, integral)) return integral;
    closed_form_tried = true;
  }
  if (apart && means.far(a, b, FarOrderBound::own_shape, integral)) return integral;
  if (!closed_form_tried && loss <= means.closed_form_loss && means.closed(a, b, integral)) {
    return integral;
  }

  // Gauss–Legendre on b, where the field of a is accurate; both ways round for rectangles of
  // equal size.
  const MeansCosts& costs = means.costs;
  double quadrature_cost = INFINITY;
  int32_t nodes_u = 0, nodes_v = 0, nodes_au = 0, nodes_av = 0;
  const double least_area =
      both_ways ? std::fmin(rectangle_area(a), rectangle_area(b)) : rectangle_area(a);
  const double gap = box_gap(box_a, box_b);
  if (gap > 0 && reach * reach <= means.point_loss * least_area) {
    nodes_u = gauss_points(gap, (b.hi[0] - b.lo[0]) / 2);
    nodes_v = gauss_points(gap, (b.hi[1] - b.lo[1]) / 2);
    if (both_ways) {
      nodes_au = gauss_points(gap, (a.hi[0] - a.lo[0]) / 2);
      nodes_av = gauss_points(gap, (a.hi[1] - a.lo[1]) / 2);
    }
    if (nodes_u > 0 && nodes_v > 0 && (!both_ways || (nodes_au > 0 && nodes_av > 0))) {
      quadrature_cost = costs.point * (nodes_u * nodes_v + nodes_au * nodes_av);
    }
  }
  const double extended_cost = loss > kExtendedLoss ? INFINITY
                               : a.axis == b.axis   ? costs.extended
                                                    : costs.extended_perpendicular;
  Split split;
  const double split_cost = plan_split(a, b, costs, split) ? split.cost : INFINITY;
  if (quadrature_cost < INFINITY && quadrature_cost <= std::fmin(split_cost, extended_cost)) {
    const double one_way = means.quadrature(a, a, false, b, nodes_u, nodes_v, true);
    if (!both_ways) return one_way;
    return (one_way + means.quadrature(b, b, false, a, nodes_au, nodes_av, false)) / 2;
  }
  if (split_cost < INFINITY && split_cost <= extended_cost) {
    const double rest =
        means.quadrature(a, split.near, split.has_near, b, split.nodes_u, split.nodes_v, true);
    return split.has_near ? rest + closed_or_extended(split.near, b, means) : rest;
  }
  return means.extended(a, b);
}
