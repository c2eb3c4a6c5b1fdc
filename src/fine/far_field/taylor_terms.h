#pragma once

#include <cstdint>
#include <vector>

// Cartesian Taylor expansions of 1/|x - y| for the far field. A term is a multi-index
// (t, u, v) of total degree t + u + v <= order; terms are numbered by degree, then t, then u
// descending, so the terms of degree below k are the first ones.

/// The terms of one expansion order and the recurrence that their derivatives walk.
struct TaylorTerms {
  explicit TaylorTerms(int32_t order);

  /// Number of the term (t, u, v); -1 when its degree exceeds the order.
  int32_t index(int32_t t, int32_t u, int32_t v) const;

  int32_t order;                 // highest total degree
  int32_t count;                 // number of terms
  std::vector<int32_t> t, u, v;  // exponents of each term
  std::vector<int32_t> degree;   // t + u + v of each term
  // The recurrence of the derivatives lowers each term k > 0 along its first non-zero exponent:
  std::vector<int32_t> step_axis;   // that axis, 0, 1 or 2
  std::vector<int32_t> step_one;    // the term one lower along it
  std::vector<int32_t> step_two;    // the term two lower, -1 where the exponent is 1
  std::vector<double> step_factor;  // the exponent minus one
};

/// derivative[k] = the partial derivative of 1/|r| by term k, at r = (x, y, z) != 0, for the
/// terms of degree up to `order` (at most terms.order).
void inverse_distance_derivatives(const TaylorTerms& terms, int32_t order, double x, double y,
                                  double z, double* derivative);

/// factor[k] = d^term / term! for the shift d = (x, y, z): the factors of a moment or local
/// expansion moved by d.
void shift_factors(const TaylorTerms& terms, double x, double y, double z, double* factor);

/// moment[k] = (1/A) ∫ (p - c)^term / term! dA over the rectangle spanning [lo, hi] (lo == hi
/// along its normal), for the centre c: the moments of a unit charge spread evenly over it.
void rectangle_moments(const TaylorTerms& terms, const double lo[3], const double hi[3],
                       const double centre[3], double* moment);

/// moment[k] = (1/A) ∫ ∂/∂p_axis [(p - c)^term / term!] dA, the moment of term - e_axis (as
/// rectangle_moments gives it; the exponent that the derivative brings down cancels against
/// term!), 0 where the term has no power along `axis`: so that Σ_k moment[k] L[k] is the mean
/// over the rectangle of the derivative along `axis` of the local expansion L about c (L[k] its
/// derivative by term k at c), as with rectangle_moments it is the mean of L. `axis` is 0, 1
/// or 2, the rectangle's normal for the normal field.
void rectangle_normal_moments(const TaylorTerms& terms, const double lo[3], const double hi[3],
                              const double centre[3], int32_t axis, double* moment);
