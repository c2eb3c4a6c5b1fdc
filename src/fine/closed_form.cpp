// I(a, b) by the closed forms: a signed sum of a primitive over the sixteen combinations of the
// two rectangles' edge coordinates, F for parallel and G for perpendicular rectangles.

#include "fine/closed_form.h"

#include <cmath>

#include "fine/space_box.h"

namespace {

// ln(t + R) where R = √(t² + ρ²). For t < 0 it is ln(ρ² / (R − t)), which does not suffer the
// cancellation of t + R (that sum even reaches zero when ρ² is below the rounding of t²).
template <typename Real>
Real log_of_sum(Real t, Real r, Real rho2) {
  return t >= 0 ? std::log(t + r) : std::log(rho2 / (r - t));
}

// F(X, Y, Z) = ½(X² − Z²)·Y·ln(Y + R) + ½(Y² − Z²)·X·ln(X + R) − ⅙(X² + Y² − 2Z²)·R
//              − X·Y·|Z|·atan(X·Y / (|Z|·R)); a term whose factor is exactly zero is left out,
// which also keeps ln 0 and 0/0 away where the rectangles touch.
template <typename Real>
Real parallel_primitive(Real x, Real y, Real z) {
  const Real x2 = x * x, y2 = y * y, z2 = z * z;
  const Real r = std::sqrt(x2 + y2 + z2);
  Real sum = -(x2 + y2 - 2 * z2) * r / 6;
  if (x2 != z2 && y != 0) sum += (x2 - z2) * y * log_of_sum(y, r, x2 + z2) / 2;
  if (y2 != z2 && x != 0) sum += (y2 - z2) * x * log_of_sum(x, r, y2 + z2) / 2;
  if (z != 0 && x != 0 && y != 0) {
    const Real az = std::fabs(z);
    sum -= x * y * az * std::atan(x * y / (az * r));
  }
  return sum;
}

// G(X, Y, Z) = X·Y·Z·ln(X + R) + (X²/2 − Z²/6)·Z·ln(Y + R) + (X²/2 − Y²/6)·Y·ln(Z + R)
//              − ⅓·Y·Z·R − ½·X·|Z|·Z·atan(X·Y / (|Z|·R)) − ½·X·|Y|·Y·atan(X·Z / (|Y|·R))
//              − ⅙·|X|³·atan(Y·Z / (|X|·R)), zero factors left out as in F.
template <typename Real>
Real perpendicular_primitive(Real x, Real y, Real z) {
  const Real x2 = x * x, y2 = y * y, z2 = z * z;
  const Real r = std::sqrt(x2 + y2 + z2);
  Real sum = -y * z * r / 3;
  const Real on_y = (x2 / 2 - z2 / 6) * z, on_z = (x2 / 2 - y2 / 6) * y;
  if (on_y != 0) sum += on_y * log_of_sum(y, r, x2 + z2);
  if (on_z != 0) sum += on_z * log_of_sum(z, r, x2 + y2);
  if (x != 0 && y != 0 && z != 0) {
    const Real ax = std::fabs(x), ay = std::fabs(y), az = std::fabs(z);
    sum += x * y * z * log_of_sum(x, r, y2 + z2);
    sum -= x * az * z * std::atan(x * y / (az * r)) / 2;
    sum -= x * ay * y * std::atan(x * z / (ay * r)) / 2;
    sum -= ax * ax * ax * std::atan(y * z / (ax * r)) / 6;
  }
  return sum;
}

// The four differences lo/hi of `first` minus lo/hi of `second` along one axis, over `scale`,
// with the sign (−1)^(i+k) of their place in the sum.
template <typename Real>
void edge_differences(double first_lo, double first_hi, double second_lo, double second_hi,
                      Real scale, Real difference[4], Real sign[4]) {
  const Real first[2] = {Real(first_lo), Real(first_hi)};
  const Real second[2] = {Real(second_lo), Real(second_hi)};
  for (int32_t i = 0; i < 2; ++i) {
    for (int32_t k = 0; k < 2; ++k) {
      difference[2 * i + k] = (first[i] - second[k]) / scale;
      sign[2 * i + k] = (i + k) % 2 == 0 ? Real(1) : Real(-1);
    }
  }
}

// Rectangles with the same normal: Σ ± F(xᵢ − x'ₖ, yⱼ − y'ₗ, z − z').
template <typename Real>
Real parallel_sum(const SpaceBox& a, const SpaceBox& b, int32_t normal, Real scale) {
  const int32_t u = (normal + 1) % 3, v = (normal + 2) % 3;
  Real xs[4], x_signs[4], ys[4], y_signs[4];
  edge_differences(a.lo[u], a.hi[u], b.lo[u], b.hi[u], scale, xs, x_signs);
  edge_differences(a.lo[v], a.hi[v], b.lo[v], b.hi[v], scale, ys, y_signs);
  const Real z = (Real(a.lo[normal]) - Real(b.lo[normal])) / scale;
  Real sum = 0;
  for (int32_t i = 0; i < 4; ++i) {
    Real row = 0;
    for (int32_t j = 0; j < 4; ++j) row += y_signs[j] * parallel_primitive(xs[i], ys[j], z);
    sum += x_signs[i] * row;
  }
  return sum;
}

// Rectangles with different normals, in the frame where a lies in a plane z = z₁ and spans x
// and y, and b lies in the plane y = y' and spans x and z: Σ ± G(xᵢ − x'ₗ, yⱼ − y', z₁ − z'ₖ).
template <typename Real>
Real perpendicular_sum(const SpaceBox& a, int32_t a_normal, const SpaceBox& b, int32_t b_normal,
                       Real scale) {
  const int32_t shared = 3 - a_normal - b_normal;
  Real xs[4], x_signs[4];
  edge_differences(a.lo[shared], a.hi[shared], b.lo[shared], b.hi[shared], scale, xs, x_signs);
  const Real ys[2] = {(Real(a.lo[b_normal]) - Real(b.lo[b_normal])) / scale,
                      (Real(a.hi[b_normal]) - Real(b.lo[b_normal])) / scale};
  const Real zs[2] = {(Real(a.lo[a_normal]) - Real(b.lo[a_normal])) / scale,
                      (Real(a.lo[a_normal]) - Real(b.hi[a_normal])) / scale};
  Real sum = 0;
  for (int32_t i = 0; i < 4; ++i) {
    const Real row = perpendicular_primitive(xs[i], ys[0], zs[0]) -
                     perpendicular_primitive(xs[i], ys[0], zs[1]) -
                     perpendicular_primitive(xs[i], ys[1], zs[0]) +
                     perpendicular_primitive(xs[i], ys[1], zs[1]);
    sum += x_signs[i] * row;
  }
  return sum;
}

// The sums are taken in units of a power of two near the largest corner distance, so that the
// logarithms stay near 1 whatever the unit of length, and the unit conversions are exact.
template <typename Real>
double closed_form(const AxisRect& a, const AxisRect& b) {
  const SpaceBox box_a = space_box(a), box_b = space_box(b);
  const double scale = power_of_two_above(box_reach(box_a, box_b));
  const Real sum = a.axis == b.axis ? parallel_sum<Real>(box_a, box_b, a.axis, scale)
                                    : perpendicular_sum<Real>(box_a, a.axis, box_b, b.axis, scale);
  return static_cast<double>(sum * scale * scale * scale);
}

}  // namespace

double closed_form_integral(const AxisRect& a, const AxisRect& b, bool extended) {
  return extended ? closed_form<long double>(a, b) : closed_form<double>(a, b);
}

// For an L × W rectangle (L ≥ W, diagonal d):
//   I = ⅔(L³ + W³ − d³) + 2·L·W·(L·asinh(W/L) + W·asinh(L/W)),
// with L³ − d³ = −W²·(d² + d·L + L²)/(d + L) free of cancellation when W ≪ L.
double self_integral(const AxisRect& a) {
  const double s0 = a.hi[0] - a.lo[0], s1 = a.hi[1] - a.lo[1];
  const double scale = power_of_two_above(std::fmax(s0, s1));
  const double l = std::fmax(s0, s1) / scale, w = std::fmin(s0, s1) / scale;
  const double d = std::sqrt(l * l + w * w);
  const double cubes = w * w * w - w * w * (d * d + d * l + l * l) / (d + l);
  const double sum =
      2.0 / 3.0 * cubes + 2 * l * w * (l * std::asinh(w / l) + w * std::asinh(l / w));
  return sum * scale * scale * scale;
}
