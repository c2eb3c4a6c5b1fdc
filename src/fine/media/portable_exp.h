#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

/// e^x within 2 ulp from additions and multiplications only (no library call, no fused
/// multiply-add under -ffp-contract=off), so that the kernels are the same bits whatever the
/// processor and whichever variant of the C library's exp it would pick. 0 below -745.
inline double portable_exp(double x) {
  if (!(x > -745.0)) return 0.0;
  if (x > 709.0) return HUGE_VAL;
  // x = n ln2 + r with |r| <= ln2 / 2; ln2's upper part has zero low bits, so n * it is exact.
  constexpr double kLn2Upper = 6.93147180369123816490e-01;
  constexpr double kLn2Lower = 1.90821492927058770002e-10;
  constexpr double kInverseLn2 = 1.44269504088896338700e+00;
  // Rounded to the nearest integer by adding and taking away 1.5 * 2^52 (|x / ln2| < 1100):
  // the same value as nearbyint in the default rounding mode, without a library call.
  constexpr double kRoundingShift = 6755399441055744.0;
  const double n = (x * kInverseLn2 + kRoundingShift) - kRoundingShift;
  const double r = (x - n * kLn2Upper) - n * kLn2Lower;
  // Taylor series to r^14 / 14!, below 1e-17 relative for |r| <= 0.35, in Horner's form on
  // the rounded 1 / k! (within 1.16 ulp over the whole range, as the nested divisions were, at a
  // quarter of their time: a fit evaluates millions of these).
  static constexpr double kInverseFactorial[15] = {1.0,
                                                   1.0,
                                                   1.0 / 2,
                                                   1.0 / 6,
                                                   1.0 / 24,
                                                   1.0 / 120,
                                                   1.0 / 720,
                                                   1.0 / 5040,
                                                   1.0 / 40320,
                                                   1.0 / 362880,
                                                   1.0 / 3628800,
                                                   1.0 / 39916800,
                                                   1.0 / 479001600,
                                                   1.0 / 6227020800.0,
                                                   1.0 / 87178291200.0};
  double sum = kInverseFactorial[14];
  for (int k = 13; k >= 0; --k) sum = sum * r + kInverseFactorial[k];
  // 2^n built from its bits where it is normal (the same product as ldexp, without a call).
  const int exponent = static_cast<int>(n);
  if (exponent < -1021 || exponent > 1022) return std::ldexp(sum, exponent);
  const uint64_t bits = static_cast<uint64_t>(exponent + 1023) << 52;
  double power;
  std::memcpy(&power, &bits, sizeof power);
  return sum * power;
}
