// K(t, s) by the closed forms. K is the derivative of I(t, s) = ∬∬ dA dA'/|x − x'| along t's
// normal, so the primitives are those of I (closed_form.cpp) differentiated along the difference
// that t's level enters, less parts that the sums over the corners cancel. With the differences
// of closed_form.cpp (t in the frame's place of a):
//   parallel,      K = Σ ± P(X, Y, Z),  P = Z·(R − X·ln(X + R) − Y·ln(Y + R)) −
//   X·Y·atan(X·Y/(Z·R)), perpendicular, K = Σ ± Q(X, Y, Z),  Q = X·Y·ln(X + R) + ½(X² − Z²)·ln(Y +
//   R)
//                                           − X·|Z|·atan(X·Y/(|Z|·R)) − ½Y·R,
// where Z runs along t's normal. P is odd in Z; Q is even, and the frame's mirror along t's normal
// changes the sign of its sum. A term whose factor is exactly zero is left out.

#include "fine/coefficients/normal_closed_form.h"

#include <cmath>

#include "fine/coefficients/log_of_sum.h"
#include "fine/coefficients/normal_field_kernels.h"
#include "fine/coefficients/pair_differences.h"

namespace {

// Parallel rectangles whose coordinate differences along one axis of their plane are all below
// this (in units of the largest corner distance) take the reduced sum along that axis.
constexpr double kReducedBelow = 0.2;

// The signs (−1)^(i+k) of the four differences in the sums.
const double kSigns[4] = {1, -1, -1, 1};

// P(X, Y, Z) for Z > 0.
template <typename Real>
Real parallel_primitive(Real x, Real y, Real z) {
  const Real r = std::sqrt(x * x + y * y + z * z);
  Real sum = z * r;
  if (x != 0) sum -= z * x * log_of_sum(x, r, y * y + z * z);
  if (y != 0) sum -= z * y * log_of_sum(y, r, x * x + z * z);
  if (x != 0 && y != 0) sum -= x * y * std::atan(x * y / (z * r));
  return sum;
}

template <typename Real>
Real perpendicular_primitive(Real x, Real y, Real z) {
  const Real r = std::sqrt(x * x + y * y + z * z), az = std::fabs(z);
  Real sum = -y * r / 2;
  if (x != 0 && y != 0) sum += x * y * log_of_sum(x, r, y * y + z * z);
  if (x * x != z * z) sum += (x * x - z * z) / 2 * log_of_sum(y, r, x * x + z * z);
  if (x != 0 && y != 0 && z != 0) sum -= x * az * std::atan(x * y / (az * r));
  return sum;
}

}  // namespace

double normal_closed_form(const AxisRect& target, const AxisRect& source, double& rounding) {
  const Differences<double> d = differences<double>(target, source);
  const NormalFieldKernels& kernels = normal_field_kernels();
  double magnitude = 0, sum = 0;
  if (target.axis != source.axis) {
    sum = d.normal_sign * kernels.perpendicular_sum(d.xs, d.ys, d.zs, magnitude);
  } else {
    // P is odd in Z: the sum is taken above the source and given Z's sign. Along the axis of the
    // smaller differences, if they are small, the parts of P that its second difference cancels
    // are taken out first.
    const double z = std::fabs(d.zs[0]);
    double largest_x = 0, largest_y = 0;
    for (int32_t i = 0; i < 4; ++i) {
      largest_x = std::fmax(largest_x, std::fabs(d.xs[i]));
      largest_y = std::fmax(largest_y, std::fabs(d.ys[i]));
    }
    if (std::fmin(largest_x, largest_y) > kReducedBelow) {
      sum = kernels.parallel_sum(d.xs, d.ys, z, magnitude);
    } else if (largest_x <= largest_y) {
      sum = kernels.reduced_parallel_sum(d.xs, d.ys, z, magnitude);
    } else {
      sum = kernels.reduced_parallel_sum(d.ys, d.xs, z, magnitude);
    }
    if (d.zs[0] < 0) sum = -sum;
  }
  rounding = magnitude * d.scale * d.scale;
  return sum * d.scale * d.scale;
}

double extended_normal_closed_form(const AxisRect& target, const AxisRect& source) {
  const Differences<long double> d = differences<long double>(target, source);
  const bool parallel = target.axis == source.axis;
  const long double z = std::fabs(d.zs[0]);
  long double sum = 0;
  for (int32_t i = 0; i < 4; ++i) {
    const long double x = d.xs[i];
    long double row = 0;
    if (parallel) {
      for (int32_t j = 0; j < 4; ++j) row += kSigns[j] * parallel_primitive(x, d.ys[j], z);
    } else {
      for (int32_t j = 0; j < 4; ++j) {
        row += kSigns[j] * perpendicular_primitive(x, d.ys[j / 2], d.zs[j % 2]);
      }
    }
    sum += kSigns[i] * row;
  }
  const long double sign = parallel ? (d.zs[0] < 0 ? -1 : 1) : d.normal_sign;
  return static_cast<double>(sign * sum * d.scale * d.scale);
}
