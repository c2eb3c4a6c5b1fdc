// I(a, b) by the cheapest of four means that is accurate for the pair, chosen from ratios of its
// lengths alone (never an absolute length):
//  - the far expansion about the centres, when its bound on the truncation error allows;
//  - the closed form in double, when its rounding (about R⁴/(A·A') units of the last place, R
//    the farthest corner distance) is small;
//  - Gauss–Legendre points on the smaller rectangle b in the exact potential of a, when b is
//    small against its distance from a;
//  - the closed form in long double;
// and, for a small b close to a large a, a split of a into the part near b (closed form) and
// the rest (Gauss–Legendre on b, which is small against its distance from the rest).
// The pair is first put in a canonical order, so that the result does not depend on it.

#include "fine/galerkin_integral.h"

#include <cmath>

#include "fine/closed_form.h"
#include "fine/far_expansion.h"
#include "fine/gauss_legendre.h"
#include "fine/rectangle_potential.h"
#include "fine/space_box.h"

namespace {

// The far expansion's bound on its truncation error, relative.
constexpr double kFarTolerance = 1e-7;
// The Gauss–Legendre rules' error bound ρ^(−2n) along each axis of b (see gauss_points).
constexpr double kGaussTolerance = 1e-8;
// R⁴/(A·A') up to which the closed form runs in double (rounding below about 3e-13 relative)
// and in long double (the same there).
constexpr double kDoubleLoss = 1000;
constexpr double kExtendedLoss = 2e6;
// (R / size of a)² up to which the potential of a is trusted at Gauss–Legendre points.
constexpr double kPotentialLoss = 1e4;
// Costs in closed forms of parallel rectangles: one perpendicular closed form, one potential
// at a point, one closed form in long double (as measured, per unit of the one in double).
constexpr double kPerpendicularCost = 1.7;
constexpr double kPotentialCost = 0.25;
constexpr double kExtendedCost = 5;
// The margin around b, in b's longest sides, of the part of a that a split keeps near b.
constexpr double kSplitMargin = 2;

// The squared diagonal.
double spread(const AxisRect& r) {
  const double u = r.hi[0] - r.lo[0], v = r.hi[1] - r.lo[1];
  return u * u + v * v;
}

// Sizes within this ratio count as equal: the roles of the two rectangles are then decided by
// their place, and the one method that treats them unequally takes both ways and the mean.
constexpr double kEqualSize = 1 + 1e-6;

bool equal_size(const AxisRect& a, const AxisRect& b) {
  const double s1 = spread(a), s2 = spread(b);
  return s1 <= kEqualSize * s2 && s2 <= kEqualSize * s1;
}

// True when `first` comes first in the canonical order: the larger one first, then by place.
// The order of places is kept by scaling and rounding, so that a pair and the same pair in
// another unit take the same roles (the sizes alone would not: equal sizes are common and
// rounding would order them at random).
bool comes_first(const AxisRect& first, const AxisRect& second) {
  if (!equal_size(first, second)) return spread(first) > spread(second);
  const double f[5] = {first.level, first.lo[0], first.lo[1], first.hi[0], first.hi[1]};
  const double s[5] = {second.level, second.lo[0], second.lo[1], second.hi[0], second.hi[1]};
  if (first.axis != second.axis) return first.axis < second.axis;
  for (int32_t k = 0; k < 5; ++k) {
    if (f[k] != s[k]) return f[k] < s[k];
  }
  return true;
}

bool same_rectangle(const AxisRect& a, const AxisRect& b) {
  return a.axis == b.axis && a.level == b.level && a.lo[0] == b.lo[0] && a.lo[1] == b.lo[1] &&
         a.hi[0] == b.hi[0] && a.hi[1] == b.hi[1];
}

double area(const AxisRect& r) { return (r.hi[0] - r.lo[0]) * (r.hi[1] - r.lo[1]); }

// R⁴/(A·A'): the closed form's loss of digits, in units of the last place, within a factor 3.
double closed_form_loss(const AxisRect& a, const AxisRect& b) {
  const double reach = box_reach(space_box(a), space_box(b));
  return reach * reach / area(a) * (reach * reach / area(b));
}

// The fewest Gauss–Legendre points on a segment of half-length `half` whose error bound
// ρ^(−2n) is within kGaussTolerance, where the integrand is analytic at distance `gap` from
// the segment: ρ = g + √(1 + g²), g = gap/half, from the Bernstein ellipse through a point at
// that distance from the middle, the nearest a singularity can come. 0 when above the largest
// rule.
int32_t gauss_points(double gap, double half) {
  const double g = gap / half;
  const double rho2 = std::pow(g + std::sqrt(1 + g * g), 2);
  double power = rho2;
  for (int32_t n = 1; n <= kMaxGaussLegendrePoints; ++n, power *= rho2) {
    if (power * kGaussTolerance >= 1) return n;
  }
  return 0;
}

// The closed form, in double when its rounding allows.
double closed_form(const AxisRect& a, const AxisRect& b) {
  return closed_form_integral(a, b, closed_form_loss(a, b) > kDoubleLoss);
}

// A small b close to a large a: a = near + rest, where near is a's part within kSplitMargin of
// b's longest side around b's shadow on a's plane. The rest is at least that far from b.
// Returns false when near would be all of a.
bool split_integral(const AxisRect& a, const AxisRect& b, double& integral) {
  const SpaceBox box_b = space_box(b);
  const int32_t u = (a.axis + 1) % 3, v = (a.axis + 2) % 3;
  const double margin = kSplitMargin * std::fmax(b.hi[0] - b.lo[0], b.hi[1] - b.lo[1]);
  AxisRect near = a;
  near.lo[0] = std::fmax(a.lo[0], box_b.lo[u] - margin);
  near.hi[0] = std::fmin(a.hi[0], box_b.hi[u] + margin);
  near.lo[1] = std::fmax(a.lo[1], box_b.lo[v] - margin);
  near.hi[1] = std::fmin(a.hi[1], box_b.hi[v] + margin);
  if (same_rectangle(near, a)) return false;
  const int32_t nodes_u = gauss_points(margin, (b.hi[0] - b.lo[0]) / 2);
  const int32_t nodes_v = gauss_points(margin, (b.hi[1] - b.lo[1]) / 2);
  const bool has_near = near.lo[0] < near.hi[0] && near.lo[1] < near.hi[1];
  integral = integrated_potential(a, near, has_near, b, nodes_u, nodes_v);
  if (has_near) integral += closed_form(near, b);
  return true;
}

}  // namespace

double galerkin_integral(const AxisRect& first, const AxisRect& second) {
  const bool in_order = comes_first(first, second);
  const AxisRect& a = in_order ? first : second;  // the larger
  const AxisRect& b = in_order ? second : first;
  if (same_rectangle(a, b)) return self_integral(a);

  double integral = 0;
  if (far_expansion_within(a, b, kFarTolerance, integral)) return integral;

  const SpaceBox box_a = space_box(a), box_b = space_box(b);
  const double reach = box_reach(box_a, box_b);
  const double loss = reach * reach / area(a) * (reach * reach / area(b));
  const double closed_cost = a.axis == b.axis ? 1 : kPerpendicularCost;

  // Gauss–Legendre on b, where the potential of a is accurate and b is small enough; both
  // ways round for rectangles of equal size.
  const bool both_ways = equal_size(a, b);
  double quadrature_cost = INFINITY;
  int32_t nodes_u = 0, nodes_v = 0, nodes_au = 0, nodes_av = 0;
  const double gap = box_gap(box_a, box_b);
  const double least_area = both_ways ? std::fmin(area(a), area(b)) : area(a);
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
  if (loss <= kDoubleLoss && closed_cost <= quadrature_cost) {
    return closed_form_integral(a, b, false);
  }
  const double extended_cost = loss <= kExtendedLoss ? kExtendedCost * closed_cost : INFINITY;
  if (quadrature_cost < INFINITY && quadrature_cost <= extended_cost) {
    const double one_way = integrated_potential(a, a, false, b, nodes_u, nodes_v);
    if (!both_ways) return one_way;
    return (one_way + integrated_potential(b, b, false, a, nodes_au, nodes_av)) / 2;
  }
  if (loss <= kExtendedLoss) return closed_form_integral(a, b, true);
  if (split_integral(a, b, integral)) return integral;
  return closed_form_integral(a, b, true);
}
