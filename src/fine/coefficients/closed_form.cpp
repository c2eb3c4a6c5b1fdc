// I(a, b) by the closed forms: a signed sum of a primitive over the sixteen combinations of the
// two rectangles' edge coordinates, F for parallel and G for perpendicular rectangles.

#include "fine/coefficients/closed_form.h"

#include <cmath>

#include "fine/coefficients/closed_form_kernels.h"
#include "fine/coefficients/log_of_sum.h"
#include "fine/coefficients/pair_differences.h"
#include "structure/space_box.h"

namespace {

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

// One row of the perpendicular sum, Σⱼₖ (−1)^(j+k) G(X, yⱼ, zₖ) with
// G(X, Y, Z) = X·Y·Z·ln(X + R) + (X²/2 − Z²/6)·Z·ln(Y + R) + (X²/2 − Y²/6)·Y·ln(Z + R)
//              − ⅓·Y·Z·R − ½·X·|Z|·Z·atan(X·Y / (|Z|·R)) − ½·X·|Y|·Y·atan(X·Z / (|Y|·R))
//              − ⅙·|X|³·atan(Y·Z / (|X|·R)),
// zero factors left out as in F. The logarithms and arctangents of two terms that share their
// factor are taken together, c·(ln u₀ − ln u₁) = c·ln(u₀/u₁) and
// atan(p₀/q₀) − atan(p₁/q₁) = atan2(p₀q₁ − p₁q₀, q₀q₁ + p₀p₁) (the difference lies within
// ±π), which halves the slow ones of long double.
template <typename Real>
Real perpendicular_row(Real x, const Real ys[2], const Real zs[2]) {
  const Real x2 = x * x, ax = std::fabs(x);
  Real r[2][2], sum = 0;
  for (int32_t j = 0; j < 2; ++j) {
    for (int32_t k = 0; k < 2; ++k) {
      const Real y = ys[j], z = zs[k], sign = (j + k) % 2 == 0 ? 1 : -1;
      r[j][k] = std::sqrt(x2 + y * y + z * z);
      sum -= sign * y * z * r[j][k] / 3;
      if (x != 0 && y != 0 && z != 0) {
        sum += sign * x * y * z * log_of_sum(x, r[j][k], y * y + z * z);
      }
    }
  }
  // The pair over j at each zₖ, and the pair over k at each yⱼ.
  auto paired_angle = [](Real p0, Real q0, Real p1, Real q1) {
    return std::atan2(p0 * q1 - p1 * q0, q0 * q1 + p0 * p1);
  };
  for (int32_t k = 0; k < 2; ++k) {
    const Real z = zs[k], az = std::fabs(z), sign = k == 0 ? 1 : -1;
    const Real on_y = (x2 / 2 - z * z / 6) * z;
    if (on_y != 0) {
      sum += sign * on_y *
             std::log(sum_for_log(ys[0], r[0][k], x2 + z * z) /
                      sum_for_log(ys[1], r[1][k], x2 + z * z));
    }
    if (x != 0 && z != 0) {
      sum -= sign * x * az * z * paired_angle(x * ys[0], az * r[0][k], x * ys[1], az * r[1][k]) / 2;
    }
  }
  for (int32_t j = 0; j < 2; ++j) {
    const Real y = ys[j], ay = std::fabs(y), sign = j == 0 ? 1 : -1;
    const Real on_z = (x2 / 2 - y * y / 6) * y;
    if (on_z != 0) {
      sum += sign * on_z *
             std::log(sum_for_log(zs[0], r[j][0], x2 + y * y) /
                      sum_for_log(zs[1], r[j][1], x2 + y * y));
    }
    if (x != 0 && y != 0) {
      sum -= sign * x * ay * y * paired_angle(x * zs[0], ay * r[j][0], x * zs[1], ay * r[j][1]) / 2;
    }
    if (x != 0) {
      sum -=
          sign * ax * ax * ax * paired_angle(y * zs[0], ax * r[j][0], y * zs[1], ax * r[j][1]) / 6;
    }
  }
  return sum;
}

// Parallel rectangles whose coordinate differences along one axis of their plane are all below
// this (in units of the largest corner distance) take the sum that leaves out the parts the
// second difference along that axis cancels (closed_form_kernels.h), which then rounds less.
constexpr double kReducedBelow = 0.2;

// The signs (−1)^(i+k) of the four differences in the sums.
const double kSigns[4] = {1, -1, -1, 1};

// The long double sums, row by row.
long double extended_sum(const Differences<long double>& d, bool parallel) {
  long double sum = 0;
  for (int32_t i = 0; i < 4; ++i) {
    const long double x = d.xs[i];
    long double row = 0;
    if (parallel) {
      for (int32_t j = 0; j < 4; ++j) {
        row += kSigns[j] * parallel_primitive<long double>(x, d.ys[j], d.zs[0]);
      }
    } else {
      row = perpendicular_row<long double>(x, d.ys, d.zs);
    }
    sum += kSigns[i] * row;
  }
  return sum;
}

}  // namespace

double closed_form_integral(const AxisRect& a, const AxisRect& b, double& rounding) {
  Differences<double> d = differences<double>(a, b);
  const ClosedFormKernels& kernels = closed_form_kernels();
  double magnitude = 0, sum = 0;
  if (a.axis != b.axis) {
    sum = kernels.perpendicular_sum(d.xs, d.ys, d.zs, magnitude);
  } else {
    // Along the axis of the smaller differences, if they are small, the parts of F that its
    // second difference cancels are taken out first.
    double largest_x = 0, largest_y = 0;
    for (int32_t i = 0; i < 4; ++i) {
      largest_x = std::fmax(largest_x, std::fabs(d.xs[i]));
      largest_y = std::fmax(largest_y, std::fabs(d.ys[i]));
    }
    if (std::fmin(largest_x, largest_y) > kReducedBelow) {
      sum = kernels.parallel_sum(d.xs, d.ys, d.zs[0], magnitude);
    } else if (largest_x <= largest_y) {
      sum = kernels.reduced_parallel_sum(d.xs, d.ys, d.zs[0], magnitude);
    } else {
      sum = kernels.reduced_parallel_sum(d.ys, d.xs, d.zs[0], magnitude);
    }
  }
  rounding = magnitude / std::fabs(sum);
  return sum * d.scale * d.scale * d.scale;
}

double extended_closed_form_integral(const AxisRect& a, const AxisRect& b) {
  const Differences<long double> d = differences<long double>(a, b);
  const long double sum = extended_sum(d, a.axis == b.axis);
  return static_cast<double>(sum * d.scale * d.scale * d.scale);
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
