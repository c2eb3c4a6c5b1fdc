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
  const double n = std::nearbyint(x * kInverseLn2);
  const double r = (x - n * kLn2Upper) - n * kLn2Lower;
  // Taylor series to r^14 / 14!, below 1e-17 relative for |r| <= 0.35.
  double sum = 1.0;
  for (int k = 14; k >= 1; --k) sum = 1.0 + sum * r / k;
  // 2^n built from its bits where it is normal (the same product as ldexp, without a call).
  const int exponent = static_cast<int>(n);
  if (exponent < -1021 || exponent > 1022) return std::ldexp(sum, exponent);
  const uint64_t bits = static_cast<uint64_t>(exponent + 1023) << 52;
  double power;
  std::memcpy(&power, &bits, sizeof power);
  return sum * power;
}
