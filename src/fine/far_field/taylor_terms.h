#pragma once

#include <cstdint>
#include <vector>

// Cartesian Taylor expansions of 1/|x - y| for the far field. A term is a multi-index
// (t, u, v) of total degree t + u + v <= the highest degree; terms are numbered by degree, then
// t, then u descending, so the terms of degree below k are the first terms_up_to(k - 1).

/// The highest degree the far field takes: the work space of a derivative recurrence and of the
/// moments of one axis sit on the stack, sized for it.
constexpr int32_t kHighestDegree = 12;

/// The number of terms of degree at most `degree`.
constexpr int32_t terms_up_to(int32_t degree) {
  return (degree + 1) * (degree + 2) * (degree + 3) / 6;
}

/// Terms up to the highest degree: 455.
constexpr int32_t kMostTerms = terms_up_to(kHighestDegree);

/// The number of harmonic terms (those with v <= 1, TaylorTerms::harmonic) of degree at most
/// `degree`: 2k + 1 of each degree k.
constexpr int32_t harmonic_terms_up_to(int32_t degree) { return (degree + 1) * (degree + 1); }

/// The terms up to one degree, the recurrence that their derivatives walk, and their algebra:
/// the sums and splits of terms that the moves of expansions between centres take.
struct TaylorTerms {
  /// The terms up to `highest`, from 0 to kHighestDegree; any other ends the program, as a fault
  /// of its caller.
  explicit TaylorTerms(int32_t highest);

  /// Number of the term (t, u, v); -1 when its degree exceeds the highest.
  int32_t index(int32_t t, int32_t u, int32_t v) const;
  /// The memory the tables take.
  int64_t bytes() const;

  int32_t highest;               // highest total degree
  int32_t count;                 // number of terms, terms_up_to(highest)
  std::vector<int32_t> t, u, v;  // exponents of each term
  std::vector<int32_t> degree;   // t + u + v of each term
  // The recurrence of the derivatives lowers each term k > 0 along its first non-zero exponent:
  std::vector<int32_t> step_axis;   // that axis, 0, 1 or 2
  std::vector<int32_t> step_one;    // the term one lower along it
  std::vector<int32_t> step_two;    // the term two lower, -1 where the exponent is 1
  std::vector<double> step_factor;  // the exponent minus one
  // The algebra of the terms:
  std::vector<int16_t> sum;          // [out * count + in]: the term out + in, -1 above highest
  std::vector<double> parity;        // (-1)^degree of each term
  std::vector<int32_t> split_start;  // per term α: its first split α = γ + κ; one more at the end
  std::vector<int16_t> split_low;    // γ of each split
  std::vector<int16_t> split_shift;  // κ of each split
  // The derivatives D of 1/r are harmonic, D(α + 2x) + D(α + 2y) + D(α + 2z) = 0, and so is
  // every expansion made of them: a local expansion is fixed by its terms with v <= 1 (the
  // others follow, D(t, u, v) = −D(t + 2, u, v − 2) − D(t, u + 2, v − 2)), and the moments it
  // is made of may be folded onto those terms (each M(t, u, v) with v >= 2 subtracted from
  // M(t + 2, u, v − 2) and M(t, u + 2, v − 2)). A move across a far pair then takes (q + 1)²
  // terms of each side at degree q instead of (q + 1)(q + 2)(q + 3)/6.
  std::vector<int16_t> harmonic;      // the terms with v <= 1, by degree as the terms are
  std::vector<int16_t> harmonic_sum;  // [out * harmonic.size() + in], both harmonic numbers:
                                      // the term out + in, -1 above highest
  // The terms with v >= 2, by degree, then v ascending, and the two terms each one follows from:
  std::vector<int16_t> raised;        // (t, u, v)
  std::vector<int16_t> raised_x;      // (t + 2, u, v − 2)
  std::vector<int16_t> raised_y;      // (t, u + 2, v − 2)
  std::vector<int32_t> raised_start;  // per degree: its first in `raised`; one more at the end
};

/// derivative[k] = the partial derivative of 1/|r| by term k, at r = (x, y, z) != 0, for the
/// terms of degree up to `degree` (at most terms.highest).
void inverse_distance_derivatives(const TaylorTerms& terms, int32_t degree, double x, double y,
                                  double z, double* derivative);

/// factor[k] = d^term / term! for the shift d = (x, y, z): the factors of a moment or local
/// expansion moved by d.
void shift_factors(const TaylorTerms& terms, double x, double y, double z, double* factor);

/// The moments of a unit charge spread evenly over the rectangle spanning [lo, hi] (lo == hi
/// along its normal), about the centre c, one axis at a time: axis[a][j] = (1/w) ∫ (p − c)^j / j!
/// dp along axis a over the rectangle's extent w there (the value at its plane along the normal),
/// for j = 0 .. terms.highest. The moment of term (t, u, v) is axis[0][t] axis[1][u] axis[2][v].
void rectangle_axis_moments(const TaylorTerms& terms, const double lo[3], const double hi[3],
                            const double centre[3], double axis[3][kHighestDegree + 1]);

/// The same for the mean derivative along `normal` (0, 1 or 2; the rectangle's normal for the
/// normal field): the sequence along `normal` moved up by one, axis[normal][j] = the plain
/// axis[normal][j − 1] and axis[normal][0] = 0, since the derivative of (p − c)^j / j! is
/// (p − c)^(j−1) / (j−1)!. Σ_k m(k) L[k] over the moments m so formed is then the mean over the
/// rectangle of the derivative of the local expansion L about c, as the plain ones give its mean.
void rectangle_normal_axis_moments(const TaylorTerms& terms, const double lo[3], const double hi[3],
                                   const double centre[3], int32_t normal,
                                   double axis[3][kHighestDegree + 1]);
