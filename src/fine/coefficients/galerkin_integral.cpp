// I(a, b) by the cheapest of the means that are accurate for the pair, chosen from ratios of its
// lengths alone (never an absolute length):
//  - the far expansion about the centres, when its bound on the truncation error allows;
//  - the closed form in double, when its rounding is small: it is tried where R⁴/(A·A') (R the
//    farthest corner distance), which bounds its loss of digits in units of the last place, is
//    below 10⁸, and kept when its own estimate of its rounding, from the magnitudes of its
//    terms, is below kClosedFormRounding;
//  - Gauss–Legendre points on the smaller rectangle b in the exact potential of a, when b is
//    small against its distance from a;
//  - the closed form in long double;
//  - for a small b close to a large a, a split of a into the part near b (closed form) and the
//    rest (Gauss–Legendre on b, which is small against its distance from the rest).
// The pair is first put in a canonical order, so that the result does not depend on it.

#include "fine/coefficients/galerkin_integral.h"

#include <cmath>

#include "fine/coefficients/closed_form.h"
#include "fine/coefficients/gauss_legendre.h"
#include "fine/coefficients/pair_expansion.h"
#include "fine/coefficients/rectangle_potential.h"
#include "structure/space_box.h"

namespace {

// The far expansion's bound on its truncation error, relative.
constexpr double kFarTolerance = 1e-7;
// The Gauss–Legendre rules' error bound ρ^(−2n) along each axis of b (see gauss_points).
constexpr double kGaussTolerance = 1e-8;
// The closed form in double is kept when its rounding estimate (the magnitudes of its terms'
// parts over |I|, times 4 units in the last place, at least 2.3 times the error met in sweeps
// of every kind of pair) is below this: its error is then below 1.8e-12, and in sweeps mostly
// near 1e-13 (the estimate is some 50 times the error). A tighter limit sends more pairs to
// the slower means: at 4e-13 vornax-fine's near coefficients of the 8 × 8 bus take half again
// as long. The estimate is tried up to the loss bound R⁴/(A·A') beyond which it has not been
// seen to pass.
constexpr double kClosedFormRounding = 4e-12;
constexpr double kClosedFormLoss = 1e8;
// Below this loss bound the estimate has always passed.
constexpr double kSurelyAccurateLoss = 1000;
// R⁴/(A·A') up to which the closed form in long double is trusted: rounding about 3e-13.
constexpr double kExtendedLoss = 2e6;
// (R / size of a)² up to which the potential of a is trusted at Gauss–Legendre points.
constexpr double kPotentialLoss = 1e4;
// Costs in closed forms of parallel rectangles in double, as measured (bench/
// fine_coefficients): the potential at one point, the perpendicular closed form in double,
// and the parallel and perpendicular ones in long double.
constexpr double kPotentialCost = 0.3;
constexpr double kPerpendicularCost = 1.5;
constexpr double kExtendedCost = 12;
constexpr double kExtendedPerpendicularCost = 15;
// The margin around b, in b's longest sides, of the part of a that a split keeps near b: the
// rest is at least 16 half-sides of b away, where 3 × 3 points on b do.
constexpr double kSplitMargin = 8;

// The squared diagonal.
double spread(const AxisRect& r) {
  const double u = r.hi[0] - r.lo[0], v = r.hi[1] - r.lo[1];
  return u * u + v * v;
}

// Sizes within this ratio count as equal: the roles of the two rectangles are then decided by
// their place, and the one method that treats them unequally takes both ways and the mean.
constexpr double kEqualSize = 1 + 1e-6;

bool equal_spread(double s1, double s2) { return s1 <= kEqualSize * s2 && s2 <= kEqualSize * s1; }

// True when `first` comes before `second` by place: axis, plane, lower and upper ends. The
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

bool same_rectangle(const AxisRect& a, const AxisRect& b) {
  return a.axis == b.axis && a.plane == b.plane && a.lo[0] == b.lo[0] && a.lo[1] == b.lo[1] &&
         a.hi[0] == b.hi[0] && a.hi[1] == b.hi[1];
}

double area(const AxisRect& r) { return (r.hi[0] - r.lo[0]) * (r.hi[1] - r.lo[1]); }

// R⁴/(A·A') for the reach R of the pair: a bound on the closed form's loss of digits, in units
// of the last place, within a factor of 3 of the loss met where the terms cancel most.
double closed_form_loss(double reach, const AxisRect& a, const AxisRect& b) {
  return reach * reach / area(a) * (reach * reach / area(b));
}

double closed_form_loss(const AxisRect& a, const AxisRect& b) {
  return closed_form_loss(box_reach(space_box(a), space_box(b)), a, b);
}

// The fewest Gauss–Legendre points on a segment of half-length `half` whose error bound
// ρ^(−2n) is within kGaussTolerance, where the integrand is analytic at distance `gap` from
// the segment: ρ = g + √(1 + g²), g = gap/half, from the Bernstein ellipse through a point at
// that distance from the middle, the nearest a singularity can come. 0 when above the largest
// rule.
int32_t gauss_points(double gap, double half) {
  const double g = gap / half, rho = g + std::sqrt(1 + g * g), rho2 = rho * rho;
  double power = rho2;  // ρ^(2n)
  for (int32_t n = 1; n <= kMaxGaussLegendrePoints; ++n, power *= rho2) {
    if (power * kGaussTolerance >= 1) return n;
  }
  return 0;
}

// The closed form in double, when its rounding estimate lets it: true and `integral` set.
bool closed_form_within(const AxisRect& a, const AxisRect& b, double& integral) {
  double rounding = 0;
  const double value = closed_form_integral(a, b, rounding);
  if (!(4 * rounding * 0x1p-53 <= kClosedFormRounding)) return false;
  integral = value;
  return true;
}

// The closed form in double where it is accurate, else in long double.
double closed_form(const AxisRect& a, const AxisRect& b) {
  double integral = 0;
  if (closed_form_loss(a, b) <= kClosedFormLoss && closed_form_within(a, b, integral)) {
    return integral;
  }
  return extended_closed_form_integral(a, b);
}

// A split of a for a small b close to it: a = near + rest, where near is a's part within
// kSplitMargin of b's longest side around b's shadow on a's plane. The rest is at least that
// far from b, and Gauss–Legendre points on b take its potential (a's less near's); near and b
// take the closed form.
struct Split {
  AxisRect near;    // the part of a kept near b
  bool has_near;    // false when b's shadow with its margin misses a altogether
  int32_t nodes_u;  // Gauss–Legendre points on b along its first axis
  int32_t nodes_v;  // and along its second
  double cost;      // in closed forms of parallel rectangles in double
};

// The split for a and b; false when near would be all of a.
bool plan_split(const AxisRect& a, const AxisRect& b, Split& split) {
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
  split.cost = (a.axis == b.axis ? 1 : kPerpendicularCost) +
               kPotentialCost * (split.has_near ? 2 : 1) * split.nodes_u * split.nodes_v;
  return true;
}

double split_integral(const AxisRect& a, const AxisRect& b, const Split& split) {
  const double rest =
      integrated_potential(a, split.near, split.has_near, b, split.nodes_u, split.nodes_v);
  return split.has_near ? rest + closed_form(split.near, b) : rest;
}

}  // namespace

double galerkin_integral(const AxisRect& first, const AxisRect& second) {
  // The canonical order: the larger first, or the first by place if the sizes are equal.
  const double spread_first = spread(first), spread_second = spread(second);
  const bool both_ways = equal_spread(spread_first, spread_second);
  const bool in_order =
      both_ways ? comes_first_by_place(first, second) : spread_first > spread_second;
  const AxisRect& a = in_order ? first : second;
  const AxisRect& b = in_order ? second : first;
  if (both_ways && same_rectangle(a, b)) return self_integral(a);

  // The expansion first if an order it needs no moments for will do (never where the
  // rectangles touch: it cannot converge there). Where the closed form in double is surely
  // accurate, it comes next for parallel rectangles, which is cheaper than the pair's moments
  // and a higher order; for perpendicular ones, whose closed form costs more, after those.
  const SpaceBox box_a = space_box(a), box_b = space_box(b);
  const bool apart = boxes_apart(box_a, box_b);
  double integral = 0;
  if (apart && far_expansion_within(a, b, kFarTolerance, FarOrderBound::any_shape, integral)) {
    return integral;
  }
  const double reach = box_reach(box_a, box_b);
  const double loss = closed_form_loss(reach, a, b);
  bool closed_form_tried = false;
  if (loss <= kSurelyAccurateLoss && a.axis == b.axis) {
    if (closed_form_within(a, b, integral)) return integral;
    closed_form_tried = true;
  }
  if (apart && far_expansion_within(a, b, kFarTolerance, FarOrderBound::own_shape, integral)) {
    return integral;
  }
  if (!closed_form_tried && loss <= kClosedFormLoss && closed_form_within(a, b, integral)) {
    return integral;
  }

  // Gauss–Legendre on b, where the potential of a is accurate; both ways round for rectangles
  // of equal size.
  double quadrature_cost = INFINITY;
  int32_t nodes_u = 0, nodes_v = 0, nodes_au = 0, nodes_av = 0;
  const double least_area = both_ways ? std::fmin(area(a), area(b)) : area(a);
  const double gap = box_gap(box_a, box_b);
  if (gap > 0 && reach * reach <= kPotentialLoss * least_area) {
    nodes_u = gauss_points(gap, (b.hi[0] - b.lo[0]) / 2);
    nodes_v = gauss_points(gap, (b.hi[1] - b.lo[1]) / 2);
    if (both_ways) {
      nodes_au = gauss_points(gap, (a.hi[0] - a.lo[0]) / 2);
      nodes_av = gauss_points(gap, (a.hi[1] - a.lo[1]) / 2);
    }
    if (nodes_u > 0 && nodes_v > 0 && (!both_ways || (nodes_au > 0 && nodes_av > 0))) {
      quadrature_cost = kPotentialCost * (nodes_u * nodes_v + nodes_au * nodes_av);
    }
  }
  const double extended_cost = loss > kExtendedLoss ? INFINITY
                               : a.axis == b.axis   ? kExtendedCost
                                                    : kExtendedPerpendicularCost;
  Split split;
  const double split_cost = plan_split(a, b, split) ? split.cost : INFINITY;
  if (quadrature_cost < INFINITY && quadrature_cost <= std::fmin(split_cost, extended_cost)) {
    const double one_way = integrated_potential(a, a, false, b, nodes_u, nodes_v);
    if (!both_ways) return one_way;
    return (one_way + integrated_potential(b, b, false, a, nodes_au, nodes_av)) / 2;
  }
  if (split_cost < INFINITY && split_cost <= extended_cost) return split_integral(a, b, split);
  return extended_closed_form_integral(a, b);
}
