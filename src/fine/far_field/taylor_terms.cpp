#include "fine/far_field/taylor_terms.h"

#include <cmath>

TaylorTerms::TaylorTerms(int32_t order_) : order(order_), count(0) {
  for (int32_t d = 0; d <= order; ++d) {
    for (int32_t a = d; a >= 0; --a) {
      for (int32_t b = d - a; b >= 0; --b) {
        t.push_back(a);
        u.push_back(b);
        v.push_back(d - a - b);
        degree.push_back(d);
      }
    }
  }
  count = static_cast<int32_t>(t.size());
  step_axis.assign(count, 0);
  step_one.assign(count, -1);
  step_two.assign(count, -1);
  step_factor.assign(count, 0.0);
  for (int32_t k = 1; k < count; ++k) {
    int32_t e[3] = {t[k], u[k], v[k]};
    int32_t axis = e[0] > 0 ? 0 : e[1] > 0 ? 1 : 2;
    step_axis[k] = axis;
    step_factor[k] = e[axis] - 1;
    e[axis] -= 1;
    step_one[k] = index(e[0], e[1], e[2]);
    if (e[axis] > 0) {
      e[axis] -= 1;
      step_two[k] = index(e[0], e[1], e[2]);
    }
  }
}

int32_t TaylorTerms::index(int32_t a, int32_t b, int32_t c) const {
  int32_t d = a + b + c;
  if (d > order) return -1;
  // Terms of degree below d: (d)(d+1)(d+2)/6; within degree d, t descending, then u descending.
  int32_t before = d * (d + 1) * (d + 2) / 6;
  int32_t rest = d - a;  // u + v
  // For t = d, d-1, ..., a+1 there are 1, 2, ..., d-a terms.
  int32_t within = rest * (rest + 1) / 2 + (rest - b);
  return before + within;
}

void inverse_distance_derivatives(const TaylorTerms& terms, int32_t order, double x, double y,
                                  double z, double* derivative) {
  // Hermite-type recurrence: R(n; 0,0,0) = (-1)^n (2n-1)!! / r^(2n+1), and
  // R(n; t+1,u,v) = t R(n+1; t-1,u,v) + x R(n+1; t,u,v), likewise in u with y and in v with z;
  // the derivative by (t, u, v) is R(0; t,u,v).
  const int32_t p = order;
  const int32_t count = terms.count;
  double r2 = x * x + y * y + z * z;
  double inverse_r = 1.0 / std::sqrt(r2);
  double inverse_r2 = inverse_r * inverse_r;
  // work[n * count + k] holds R(n; term k) for degree(k) <= p - n.
  double work[(12 + 1) * 455];  // orders up to 12
  double base = inverse_r;
  for (int32_t n = 0; n <= p; ++n) {
    work[n * count] = base;
    base *= -(2.0 * n + 1.0) * inverse_r2;
  }
  const int32_t used = (p + 1) * (p + 2) * (p + 3) / 6;
  const double coordinate[3] = {x, y, z};
  for (int32_t k = 1; k < used; ++k) {
    const double along = coordinate[terms.step_axis[k]];
    const int32_t one = terms.step_one[k], two = terms.step_two[k];
    const double factor = terms.step_factor[k];
    for (int32_t n = 0; n + terms.degree[k] <= p; ++n) {
      const double* next = work + (n + 1) * count;
      double value = along * next[one];
      if (two >= 0) value += factor * next[two];
      work[n * count + k] = value;
    }
  }
  for (int32_t k = 0; k < used; ++k) derivative[k] = work[k];
}

namespace {

/// power[k] = d^k / k! for k = 0 .. order.
void scaled_powers(double d, int32_t order, double* power) {
  power[0] = 1.0;
  for (int32_t k = 1; k <= order; ++k) power[k] = power[k - 1] * d / k;
}

}  // namespace

void shift_factors(const TaylorTerms& terms, double x, double y, double z, double* factor) {
  double px[16], py[16], pz[16];
  scaled_powers(x, terms.order, px);
  scaled_powers(y, terms.order, py);
  scaled_powers(z, terms.order, pz);
  for (int32_t k = 0; k < terms.count; ++k)
    factor[k] = px[terms.t[k]] * py[terms.u[k]] * pz[terms.v[k]];
}

void rectangle_moments(const TaylorTerms& terms, const double lo[3], const double hi[3],
                       const double centre[3], double* moment) {
  // Along each axis: the moments about the segment's own midpoint (w^j / ((j+1) j!) for even j,
  // 0 for odd j, w the half width), moved to the centre; this stays accurate for a segment much
  // shorter than its distance from the centre.
  const int32_t p = terms.order;
  double axis_moment[3][16];
  for (int32_t a = 0; a < 3; ++a) {
    double mid = 0.5 * (lo[a] + hi[a]);
    double half = 0.5 * (hi[a] - lo[a]);
    double own[16];
    double power = 1.0;  // half^j / j!
    for (int32_t j = 0; j <= p; ++j) {
      own[j] = j % 2 == 0 ? power / (j + 1) : 0.0;
      power = power * half / (j + 1);
    }
    double offset[16];
    scaled_powers(mid - centre[a], p, offset);
    for (int32_t k = 0; k <= p; ++k) {
      double sum = 0.0;
      for (int32_t j = 0; j <= k; j += 2) sum += offset[k - j] * own[j];
      axis_moment[a][k] = sum;
    }
  }
  for (int32_t k = 0; k < terms.count; ++k) {
    moment[k] =
        axis_moment[0][terms.t[k]] * axis_moment[1][terms.u[k]] * axis_moment[2][terms.v[k]];
  }
}

void rectangle_normal_moments(const TaylorTerms& terms, const double lo[3], const double hi[3],
                              const double centre[3], int32_t axis, double* moment) {
  std::vector<double> plain(terms.count);
  rectangle_moments(terms, lo, hi, centre, plain.data());
  for (int32_t k = 0; k < terms.count; ++k) {
    int32_t e[3] = {terms.t[k], terms.u[k], terms.v[k]};
    if (e[axis] == 0) {
      moment[k] = 0.0;
      continue;
    }
    e[axis] -= 1;
    moment[k] = plain[terms.index(e[0], e[1], e[2])];
  }
}
