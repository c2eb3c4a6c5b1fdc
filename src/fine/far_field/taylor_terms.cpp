#include "fine/far_field/taylor_terms.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "common/vector_bytes.h"

namespace {
#include "fine/far_field/inverse_distance_recurrence.inc"
}  // namespace

namespace {

/// The sums out + in of every two terms, their parities, and the splits α = γ + κ of each term.
void add_term_algebra(TaylorTerms& terms) {
  const int32_t count = terms.count;
  terms.sum.assign(static_cast<size_t>(count) * count, -1);
  terms.parity.resize(count);
  for (int32_t out = 0; out < count; ++out) {
    terms.parity[out] = terms.degree[out] % 2 == 0 ? 1.0 : -1.0;
    for (int32_t in = 0; in < count; ++in) {
      terms.sum[out * count + in] = static_cast<int16_t>(terms.index(
          terms.t[out] + terms.t[in], terms.u[out] + terms.u[in], terms.v[out] + terms.v[in]));
    }
  }
  for (int32_t alpha = 0; alpha < count; ++alpha) {
    terms.split_start.push_back(static_cast<int32_t>(terms.split_low.size()));
    for (int32_t gamma = 0; gamma < count; ++gamma) {
      int32_t a = terms.t[alpha] - terms.t[gamma], b = terms.u[alpha] - terms.u[gamma],
              c = terms.v[alpha] - terms.v[gamma];
      if (a < 0 || b < 0 || c < 0) continue;
      terms.split_low.push_back(static_cast<int16_t>(gamma));
      terms.split_shift.push_back(static_cast<int16_t>(terms.index(a, b, c)));
    }
  }
  terms.split_start.push_back(static_cast<int32_t>(terms.split_low.size()));
  for (int32_t k = 0; k < count; ++k) {
    if (terms.v[k] <= 1) terms.harmonic.push_back(static_cast<int16_t>(k));
  }
  const int32_t harmonic = static_cast<int32_t>(terms.harmonic.size());
  terms.harmonic_sum.assign(static_cast<size_t>(harmonic) * harmonic, -1);
  for (int32_t out = 0; out < harmonic; ++out) {
    for (int32_t in = 0; in < harmonic; ++in) {
      terms.harmonic_sum[out * harmonic + in] =
          terms.sum[terms.harmonic[out] * count + terms.harmonic[in]];
    }
  }
  for (int32_t d = 0; d <= terms.highest; ++d) {
    terms.raised_start.push_back(static_cast<int32_t>(terms.raised.size()));
    for (int32_t c = 2; c <= d; ++c) {
      for (int32_t a = d - c; a >= 0; --a) {
        const int32_t b = d - c - a;
        terms.raised.push_back(static_cast<int16_t>(terms.index(a, b, c)));
        terms.raised_x.push_back(static_cast<int16_t>(terms.index(a + 2, b, c - 2)));
        terms.raised_y.push_back(static_cast<int16_t>(terms.index(a, b + 2, c - 2)));
      }
    }
  }
  terms.raised_start.push_back(static_cast<int32_t>(terms.raised.size()));
}

}  // namespace

TaylorTerms::TaylorTerms(int32_t highest_) : highest(highest_), count(0) {
  if (highest < 0 || highest > kHighestDegree) {
    std::fprintf(stderr, "vornax-fine: Taylor terms of degree %d asked for, %d at the most\n",
                 highest, kHighestDegree);
    std::abort();
  }
  for (int32_t d = 0; d <= highest; ++d) {
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
  add_term_algebra(*this);
}

int32_t TaylorTerms::index(int32_t a, int32_t b, int32_t c) const {
  int32_t d = a + b + c;
  if (d > highest) return -1;
  // Terms of degree below d: (d)(d+1)(d+2)/6; within degree d, t descending, then u descending.
  int32_t before = d * (d + 1) * (d + 2) / 6;
  int32_t rest = d - a;  // u + v
  // For t = d, d-1, ..., a+1 there are 1, 2, ..., d-a terms.
  int32_t within = rest * (rest + 1) / 2 + (rest - b);
  return before + within;
}

int64_t TaylorTerms::bytes() const {
  return vectors_bytes(t, u, v, degree, step_axis, step_one, step_two, step_factor, sum, parity,
                       split_start, split_low, split_shift, harmonic, harmonic_sum, raised,
                       raised_x, raised_y, raised_start);
}

void inverse_distance_derivatives(const TaylorTerms& terms, int32_t degree, double x, double y,
                                  double z, double* derivative) {
  const double r2 = x * x + y * y + z * z;
  const double coordinate[3] = {x, y, z};
  double work[(kHighestDegree + 1) * kMostTerms];
  inverse_distance_recurrence(terms, degree, coordinate, 1.0 / std::sqrt(r2), work);
  for (int32_t k = 0; k < terms_up_to(degree); ++k) derivative[k] = work[k];
}

namespace {

/// power[k] = d^k / k! for k = 0 .. degree.
void scaled_powers(double d, int32_t degree, double* power) {
  power[0] = 1.0;
  for (int32_t k = 1; k <= degree; ++k) power[k] = power[k - 1] * d / k;
}

}  // namespace

void shift_factors(const TaylorTerms& terms, double x, double y, double z, double* factor) {
  double px[kHighestDegree + 1], py[kHighestDegree + 1], pz[kHighestDegree + 1];
  scaled_powers(x, terms.highest, px);
  scaled_powers(y, terms.highest, py);
  scaled_powers(z, terms.highest, pz);
  for (int32_t k = 0; k < terms.count; ++k)
    factor[k] = px[terms.t[k]] * py[terms.u[k]] * pz[terms.v[k]];
}

void rectangle_axis_moments(const TaylorTerms& terms, const double lo[3], const double hi[3],
                            const double centre[3], double axis[3][kHighestDegree + 1]) {
  // Along each axis: the moments about the segment's own midpoint (w^j / ((j+1) j!) for even j,
  // 0 for odd j, w the half width), moved to the centre; this stays accurate for a segment much
  // shorter than its distance from the centre.
  const int32_t p = terms.highest;
  for (int32_t a = 0; a < 3; ++a) {
    double mid = 0.5 * (lo[a] + hi[a]);
    double half = 0.5 * (hi[a] - lo[a]);
    double own[kHighestDegree + 1];
    double power = 1.0;  // half^j / j!
    for (int32_t j = 0; j <= p; ++j) {
      own[j] = j % 2 == 0 ? power / (j + 1) : 0.0;
      power = power * half / (j + 1);
    }
    double offset[kHighestDegree + 1];
    scaled_powers(mid - centre[a], p, offset);
    for (int32_t k = 0; k <= p; ++k) {
      double sum = 0.0;
      for (int32_t j = 0; j <= k; j += 2) sum += offset[k - j] * own[j];
      axis[a][k] = sum;
    }
  }
}

void rectangle_normal_axis_moments(const TaylorTerms& terms, const double lo[3], const double hi[3],
                                   const double centre[3], int32_t normal,
                                   double axis[3][kHighestDegree + 1]) {
  rectangle_axis_moments(terms, lo, hi, centre, axis);
  for (int32_t j = terms.highest; j > 0; --j) axis[normal][j] = axis[normal][j - 1];
  axis[normal][0] = 0.0;
}
