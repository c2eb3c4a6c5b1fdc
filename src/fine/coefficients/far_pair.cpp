// A pair of rectangles seen from afar: the moments of w = x − x' (x uniform on a, x' on b), the
// sum of the even ones against the derivatives of 1/r at D, and the bounds on what the sum
// leaves out.
//
// The coordinates of w are independent, so its moments factor by axis: along an axis where a
// spans ±h and b spans ±h', the moment generating function of w is sinh(h·s)/(h·s) ·
// sinh(h'·s)/(h'·s), whence c(2i) = ⟨w^(2i)⟩/(2i)! = Σⱼ h^(2j)/(2j+1)! · h'^(2i−2j)/(2i−2j+1)!.
// Moments along γ are turned into derivatives along α and β with ∂γ² = −(∂α² + ∂β²), which
// holds on 1/r and on every derivative of it, so that only the derivatives ∂α^P ∂β^Q with P
// and Q even are needed (after one more along a normal, for a field).

#include "fine/coefficients/far_pair.h"

#include <cmath>

namespace {

// 1/(2i+1)!: the moments of a uniform spread over ±h are h^(2i)/(2i+1)! per (2i)!.
constexpr double kInverseOddFactorial[kMomentCount] = {
    1.0, 1.0 / 6, 1.0 / 120, 1.0 / 5040, 1.0 / 362880, 1.0 / 39916800, 1.0 / 6227020800.0};
// (2i)!/i!, from c(2i) = ⟨w^(2i)⟩/(2i)! to ⟨w^(2i)⟩/i!.
constexpr double kEvenToHalfFactorial[kMomentCount] = {1, 2, 12, 120, 1680, 30240, 665280};

// Fills c(0) … c(2·(kCount − 1)) along each axis: with a spread over ±h and b over ±h',
// c(2i) = Σⱼ h^(2j)/(2j+1)! · h'^(2i−2j)/(2i−2j+1)!.
template <int32_t kCount>
void fill_moments(FarPair& pair) {
#pragma GCC unroll 4
  for (int32_t s = 0; s < 3; ++s) {
    double own[kCount], other[kCount];
    const double h2 = pair.half_a[s] * pair.half_a[s], g2 = pair.half_b[s] * pair.half_b[s];
    double power = 1, power_other = 1;
#pragma GCC unroll 8
    for (int32_t i = 0; i < kCount; ++i) {
      own[i] = power * kInverseOddFactorial[i];
      other[i] = power_other * kInverseOddFactorial[i];
      power *= h2;
      power_other *= g2;
    }
#pragma GCC unroll 8
    for (int32_t i = 0; i < kCount; ++i) {
      double sum = 0;
#pragma GCC unroll 8
      for (int32_t j = 0; j <= i; ++j) sum += own[j] * other[i - j];
      pair.moment[s][i] = sum;
    }
  }
  pair.moments = kCount;
}

// The expansion up to order 2·kTop; templated so that the loops unroll.
template <int32_t kTop>
double expansion_sum(FarPair& pair, const DerivativeTable& table) {
  if (pair.moments < kTop + 1) fill_moments<kTop + 1>(pair);
  const double* alpha = pair.moment[0];
  const double* beta = pair.moment[1];
  const double* gamma = pair.moment[2];
  // e[p][q], the weight of ∂α^(2p) ∂β^(2q) (1/r): the moments along α and β, with those along
  // γ moved onto them by ∂γ^(2j) = (−1)^j (∂α² + ∂β²)^j. With A(u) = Σ αₚuᵖ, B(v) = Σ β_q v^q:
  // e = Σⱼ (−1)^j γⱼ·[A(u)·B(v)·(u + v)^j], the product taken by repeated shifts.
  double e[kTop + 1][kTop + 1] = {}, h[kTop + 1][kTop + 1] = {};
#pragma GCC unroll 8
  for (int32_t p = 0; p <= kTop; ++p) {
#pragma GCC unroll 8
    for (int32_t q = 0; p + q <= kTop; ++q) e[p][q] = h[p][q] = alpha[p] * beta[q];
  }
  if (gamma[1] != 0) {
#pragma GCC unroll 8
    for (int32_t j = 1; j <= kTop; ++j) {
      const double weight = j % 2 == 0 ? gamma[j] : -gamma[j];
#pragma GCC unroll 8
      for (int32_t p = kTop; p >= 0; --p) {  // h ← h·(u + v), from the top down
#pragma GCC unroll 8
        for (int32_t q = kTop - p; q >= 0; --q) {
          h[p][q] = (p > 0 ? h[p - 1][q] : 0.0) + (q > 0 ? h[p][q - 1] : 0.0);
          e[p][q] += weight * h[p][q];
        }
      }
    }
  }
  double xs[kTop + 1], ys[kTop + 1], zs[kTop + 1];  // powers of X, Y, Z
  xs[0] = ys[0] = zs[0] = 1;
#pragma GCC unroll 8
  for (int32_t i = 1; i <= kTop; ++i) {
    xs[i] = xs[i - 1] * pair.direction[0];
    ys[i] = ys[i - 1] * pair.direction[1];
    zs[i] = zs[i - 1] * pair.direction[2];
  }
  double sum = table.coefficient[0][0][0];  // order 0, whose weight is 1
#pragma GCC unroll 8
  for (int32_t k = 1; k <= kTop; ++k) {
    // Monomials X^i Y^j Z^(k−i−j) in the order of the table's terms.
    constexpr int32_t kTerms = ((kTop + 1) * (kTop + 2)) / 2;
    double monomial[kTerms];
    int32_t terms = 0;
#pragma GCC unroll 8
    for (int32_t i = 0; i <= k; ++i) {
#pragma GCC unroll 8
      for (int32_t j = 0; i + j <= k; ++j) monomial[terms++] = xs[i] * ys[j] * zs[k - i - j];
    }
    double order_sum = 0;
#pragma GCC unroll 8
    for (int32_t p = 0; p <= k; ++p) {
      const double* c = table.coefficient[p][k - p];
      double value = 0;
#pragma GCC unroll 32
      for (int32_t t = 0; t < terms; ++t) value += c[t] * monomial[t];
      order_sum += e[p][k - p] * value;
    }
    sum += order_sum;
  }
  return sum;
}

}  // namespace

// The largest ⟨|w|^(2k)⟩ (in units of |D|^(2k), r the reach, |w| ≤ r, odd orders vanishing)
// that keeps the terms from order 2k on within `tolerance`:
//  - of the potential, relative: those terms are bounded by ⟨|w|^(2k)⟩·(1 + r² + r⁴ + …)
//    relative to 1/|D|, while the integral is at least 1/((1 + r)·|D|), so ⟨|w|^(2k)⟩/(1 − r);
//  - of a derivative along a unit vector, relative to 1/|D|²: its term of order m is the
//    gradient of a solid harmonic of degree m + 1 in w, at most √((m + 1)(m + 2))·|w|^m/|D|^(m+2)
//    (from P_l² + (1 − x²)·P_l'²/(l(l + 1)) ≤ 1), so the terms from 2k on are at most
//    ⟨|w|^(2k)⟩·Σⱼ (2k + 2j + 2)·r^(2j) = ⟨|w|^(2k)⟩·((2k + 2)/(1 − r²) + 2r²/(1 − r²)²).
double moment_allowance(ExpansionOf of, double tolerance, double reach, int32_t k) {
  if (of == ExpansionOf::potential) return tolerance * (1 - reach);
  const double r2 = reach * reach, inverse = 1 / (1 - r2);
  return tolerance / ((2 * k + 2) * inverse + 2 * r2 * inverse * inverse);
}

// ⟨|w|^(2k)⟩/k! = Σ over a + b + c = k of the products ⟨wα^(2a)⟩/a! · ⟨wβ^(2b)⟩/b! ·
// ⟨wγ^(2c)⟩/c!: two convolutions.
void pair_spreads(FarPair& pair, double spread[kMomentCount]) {
  fill_moments<kMomentCount>(pair);
  double per_axis[3][kMomentCount];
#pragma GCC unroll 4
  for (int32_t s = 0; s < 3; ++s) {
#pragma GCC unroll 8
    for (int32_t i = 0; i < kMomentCount; ++i) {
      per_axis[s][i] = pair.moment[s][i] * kEvenToHalfFactorial[i];
    }
  }
  double first_two[kMomentCount];
#pragma GCC unroll 8
  for (int32_t k = 0; k < kMomentCount; ++k) {
    double sum = 0;
#pragma GCC unroll 8
    for (int32_t i = 0; i <= k; ++i) sum += per_axis[0][i] * per_axis[1][k - i];
    first_two[k] = sum;
  }
  double factorial_k = 1;
  spread[0] = 1;
#pragma GCC unroll 8
  for (int32_t k = 1; k < kMomentCount; ++k) {
    factorial_k *= k;
    double sum = 0;
#pragma GCC unroll 8
    for (int32_t i = 0; i <= k; ++i) sum += first_two[i] * per_axis[2][k - i];
    spread[k] = sum * factorial_k;
  }
}

namespace {

// The lowest order the bound rⁿ/(n + 1) allows, which holds for any two rectangles (it is the
// moment of a segment seen from its end) and needs no moments; -1 if none up to the highest.
int32_t order_for_any_shape(const FarPair& pair, ExpansionOf of, double tolerance) {
  if (!(pair.reach < kLargestReach)) return -1;
  const double r2 = pair.reach * pair.reach;
  double power = r2;  // r^(2k+2)
  for (int32_t k = 0; k < kHalfOrders; ++k, power *= r2) {
    if (power <= moment_allowance(of, tolerance, pair.reach, k + 1) * (2 * k + 3)) return 2 * k;
  }
  return -1;
}

// The lowest order the pair's own moments allow; -1 if none.
int32_t order_for_own_shape(FarPair& pair, ExpansionOf of, double tolerance) {
  if (!(pair.reach < kLargestReach)) return -1;
  double spread[kMomentCount];
  pair_spreads(pair, spread);
#pragma GCC unroll 8
  for (int32_t k = 1; k < kMomentCount; ++k) {
    if (spread[k] <= moment_allowance(of, tolerance, pair.reach, k)) return 2 * k - 2;
  }
  return -1;
}

}  // namespace

FarPair far_pair(const AxisRect& a, const AxisRect& b) {
  FarPair pair;
  double d[3];  // D along α, β, γ
  if (a.axis == b.axis) {
    for (int32_t s = 0; s < 2; ++s) {
      d[s] = ((a.lo[s] - b.lo[s]) + (a.hi[s] - b.hi[s])) / 2;
      pair.half_a[s] = (a.hi[s] - a.lo[s]) / 2;
      pair.half_b[s] = (b.hi[s] - b.lo[s]) / 2;
    }
    d[2] = a.plane - b.plane;
    pair.half_a[2] = pair.half_b[2] = 0;
  } else {
    // Which of each rectangle's two in-plane axes is α, the one they share.
    const int32_t shared = 3 - a.axis - b.axis;
    const int32_t ia = (a.axis + 1) % 3 == shared ? 0 : 1, ja = 1 - ia;
    const int32_t ib = (b.axis + 1) % 3 == shared ? 0 : 1, jb = 1 - ib;
    d[0] = ((a.lo[ia] - b.lo[ib]) + (a.hi[ia] - b.hi[ib])) / 2;
    d[1] = ((a.lo[ja] - b.plane) + (a.hi[ja] - b.plane)) / 2;
    d[2] = ((a.plane - b.lo[jb]) + (a.plane - b.hi[jb])) / 2;
    pair.half_a[0] = (a.hi[ia] - a.lo[ia]) / 2;
    pair.half_a[1] = (a.hi[ja] - a.lo[ja]) / 2;
    pair.half_a[2] = 0;
    pair.half_b[0] = (b.hi[ib] - b.lo[ib]) / 2;
    pair.half_b[1] = 0;
    pair.half_b[2] = (b.hi[jb] - b.lo[jb]) / 2;
  }
  const double squared = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
  const double diagonal_a = pair.half_a[0] * pair.half_a[0] + pair.half_a[1] * pair.half_a[1] +
                            pair.half_a[2] * pair.half_a[2];
  const double diagonal_b = pair.half_b[0] * pair.half_b[0] + pair.half_b[1] * pair.half_b[1] +
                            pair.half_b[2] * pair.half_b[2];
  pair.distance = std::sqrt(squared);
  const double inverse = 1 / pair.distance;  // ∞ when the centres coincide, and so the reach
  pair.reach = (std::sqrt(diagonal_a) + std::sqrt(diagonal_b)) * inverse;
  for (int32_t s = 0; s < 3; ++s) {
    pair.unit[s] = d[s] * inverse;
    pair.direction[s] = d[s] * inverse * (d[s] * inverse);
    pair.half_a[s] *= inverse;
    pair.half_b[s] *= inverse;
  }
  pair.area_product =
      (a.hi[0] - a.lo[0]) * (a.hi[1] - a.lo[1]) * ((b.hi[0] - b.lo[0]) * (b.hi[1] - b.lo[1]));
  pair.moments = 0;
  return pair;
}

double expansion_sum(FarPair& pair, int32_t order, const DerivativeTable& table) {
  static_assert(kFarExpansionMaxOrder == 10, "one case per order");
  switch (order / 2) {
    case 0:
      return table.coefficient[0][0][0];
    case 1:
      return expansion_sum<1>(pair, table);
    case 2:
      return expansion_sum<2>(pair, table);
    case 3:
      return expansion_sum<3>(pair, table);
    case 4:
      return expansion_sum<4>(pair, table);
    default:
      return expansion_sum<5>(pair, table);
  }
}

int32_t expansion_order_within(FarPair& pair, ExpansionOf of, double tolerance,
                               FarOrderBound bound) {
  int32_t order = order_for_any_shape(pair, of, tolerance);
  if (bound == FarOrderBound::any_shape && order > 8) order = -1;
  // Orders below 8 cost less than the moments that might lower them.
  if (bound == FarOrderBound::own_shape && (order < 0 || order >= 8) &&
      pair.reach < kLargestOwnReach) {
    const int32_t own = order_for_own_shape(pair, of, tolerance);
    if (own >= 0 && (order < 0 || own < order)) order = own;
  }
  return order;
}

int32_t lowest_expansion_order(FarPair& pair, ExpansionOf of, double tolerance) {
  const int32_t any = order_for_any_shape(pair, of, tolerance);
  const int32_t own = order_for_own_shape(pair, of, tolerance);
  return any < 0 || (own >= 0 && own < any) ? own : any;
}
