// The far field's moments of a panel: Σ moment·L is the mean over the panel of a local expansion
// L, and Σ normal moment·L the mean of its derivative along an axis, against means taken by hand
// (a polynomial) and the closed-form double layer of the panel (the field of a distant charge).

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "fine/far_field/taylor_terms.h"
#include "rectangle_pairs.h"
#include "reference_integral.h"
#include "structure/space_box.h"

namespace {

// The moments of every term, multiplied out from the three sequences: the plain ones for
// normal = -1, else those of the mean derivative along `normal`.
void multiplied_out(const TaylorTerms& terms, const double lo[3], const double hi[3],
                    const double centre[3], int32_t normal, double* moment) {
  double axis[3][kHighestDegree + 1];
  if (normal < 0) {
    rectangle_axis_moments(terms, lo, hi, centre, axis);
  } else {
    rectangle_normal_axis_moments(terms, lo, hi, centre, normal, axis);
  }
  for (int32_t k = 0; k < terms.count; ++k)
    moment[k] = axis[0][terms.t[k]] * axis[1][terms.u[k]] * axis[2][terms.v[k]];
}

// φ = 3x³y − 2yz² + 5xz² + x⁴ − 7, monomial by monomial.
struct Monomial {
  double c;      // coefficient
  int32_t e[3];  // powers of x, y, z
};
const Monomial kPolynomial[] = {
    {3, {3, 1, 0}}, {-2, {0, 1, 2}}, {5, {1, 0, 2}}, {1, {4, 0, 0}}, {-7, {0, 0, 0}}};

// φ's derivative by term (t, u, v) at p, by hand: c·a!/(a − t)!·… x^(a−t)·….
double polynomial_derivative(int32_t t, int32_t u, int32_t v, const double p[3]) {
  const int32_t order[3] = {t, u, v};
  double sum = 0;
  for (const Monomial& m : kPolynomial) {
    double term = m.c;
    for (int32_t axis = 0; axis < 3; ++axis) {
      for (int32_t k = 0; k < order[axis]; ++k) term *= m.e[axis] - k;
      if (order[axis] <= m.e[axis]) term *= std::pow(p[axis], m.e[axis] - order[axis]);
    }
    sum += term;
  }
  return sum;
}

// The mean of x^n over [lo, hi] (lo < hi), or its value where lo = hi.
double mean_power(double lo, double hi, int32_t n) {
  if (lo == hi) return std::pow(lo, n);
  return (std::pow(hi, n + 1) - std::pow(lo, n + 1)) / ((n + 1) * (hi - lo));
}

// The mean over the box [lo, hi] of ∂φ/∂x_axis, or of φ for axis −1, monomial by monomial.
double mean_derivative(const double lo[3], const double hi[3], int32_t axis) {
  double sum = 0;
  for (const Monomial& m : kPolynomial) {
    int32_t power[3] = {m.e[0], m.e[1], m.e[2]};
    double factor = m.c;
    if (axis >= 0) {
      factor *= power[axis];
      if (power[axis] == 0) continue;
      power[axis] -= 1;
    }
    for (int32_t k = 0; k < 3; ++k) factor *= mean_power(lo[k], hi[k], power[k]);
    sum += factor;
  }
  return sum;
}

}  // namespace

// ∂φ/∂x, ∂φ/∂y, ∂φ/∂z of the polynomial averaged over a panel by hand, monomial by monomial,
// against Σ moment·L with L the derivatives of φ at a centre off the panel (order 5 holds φ's
// expansion exactly); the plain moments give the mean of φ itself.
TEST(TaylorMoments, MeanDerivativesOfAPolynomialExactly) {
  const TaylorTerms terms(5);
  const double lo[3] = {0.2, -0.5, 1.5}, hi[3] = {0.9, 0.25, 1.5};  // in the plane z = 1.5
  const double centre[3] = {0.1, 0.3, 1.2};
  std::vector<double> local(terms.count), moment(terms.count);
  for (int32_t k = 0; k < terms.count; ++k) {
    local[k] = polynomial_derivative(terms.t[k], terms.u[k], terms.v[k], centre);
  }
  multiplied_out(terms, lo, hi, centre, -1, moment.data());
  double mean = 0;
  for (int32_t k = 0; k < terms.count; ++k) mean += moment[k] * local[k];
  EXPECT_NEAR(mean, mean_derivative(lo, hi, -1), 1e-12);
  for (int32_t axis = 0; axis < 3; ++axis) {
    multiplied_out(terms, lo, hi, centre, axis, moment.data());
    double derivative = 0;
    for (int32_t k = 0; k < terms.count; ++k) derivative += moment[k] * local[k];
    EXPECT_NEAR(derivative, mean_derivative(lo, hi, axis), 1e-12) << axis;
  }
}

// The mean normal derivative of 1/|x − q| over a panel is its double layer at q over its area;
// from the expansion about a centre near the panel at order 10, the truncation is about
// (0.8 / 20)¹¹ of it.
TEST(TaylorMoments, MeanNormalDerivativeOfAFarCharge) {
  const TaylorTerms terms(10);
  for (int32_t axis = 0; axis < 3; ++axis) {
    const AxisRect panel = rect(axis, 0.3, -0.2, 0.1, 0.4, 0.5);
    const SpaceBox box = space_box(panel);
    const double* lo = box.lo;
    const double* hi = box.hi;
    const double centre[3] = {0.1, 0.2, 0.25};
    const double q[3] = {12.0, -9.0, 13.0};
    std::vector<double> local(terms.count), moment(terms.count);
    inverse_distance_derivatives(terms, 10, centre[0] - q[0], centre[1] - q[1], centre[2] - q[2],
                                 local.data());
    multiplied_out(terms, lo, hi, centre, axis, moment.data());
    double derivative = 0;
    for (int32_t k = 0; k < terms.count; ++k) derivative += moment[k] * local[k];
    const long double point[3] = {q[0], q[1], q[2]};
    const double area = (panel.hi[0] - panel.lo[0]) * (panel.hi[1] - panel.lo[1]);
    EXPECT_LT(relative(derivative, reference_double_layer(panel, point) / area), 1e-12) << axis;
  }
}
