#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

// std::ldexp and std::frexp through their bits where the result is a normal number, the same
// bits as the library's (a product with a power of two is exact there) without its call, which
// the coefficient cache made some nine times a pair. Elsewhere the library's.

/// 2^e for e of a normal number (−1022 ≤ e ≤ 1023), else std::ldexp(1, e).
inline double power_of_two(int e) {
  if (e < -1022 || e > 1023) return std::ldexp(1.0, e);
  const uint64_t bits = static_cast<uint64_t>(e + 1023) << 52;
  double p;
  std::memcpy(&p, &bits, sizeof p);
  return p;
}

/// std::ldexp(x, e).
inline double times_power_of_two(double x, int e) {
  if (e >= -1022 && e <= 1023) {
    const double r = x * power_of_two(e);
    if (std::fabs(r) >= DBL_MIN || x == 0.0) return r;  // normal (or ±inf like ldexp's), exact
  }
  return std::ldexp(x, e);
}

/// The exponent std::frexp gives x: x = m·2^e with 1/2 ≤ |m| < 1.
inline int frexp_exponent(double x) {
  uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  const int biased = static_cast<int>((bits >> 52) & 0x7ff);
  if (biased != 0 && biased != 0x7ff) return biased - 1022;
  int e = 0;
  std::frexp(x, &e);  // zero, subnormal, inf or nan
  return e;
}
