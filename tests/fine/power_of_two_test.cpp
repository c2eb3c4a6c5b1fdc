// The bit forms of ldexp and frexp against the library's own, on random numbers of every range
// and on the edges where the bit forms must hand over to the library (subnormal results,
// overflow, zero, infinity, not-a-number).

#include "fine/coefficients/power_of_two.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

uint64_t bits_of(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

TEST(PowerOfTwo, EveryExponentIsTheLibrarys) {
  for (int e = -1100; e <= 1100; ++e) {
    EXPECT_EQ(bits_of(power_of_two(e)), bits_of(std::ldexp(1.0, e))) << e;
  }
}

TEST(PowerOfTwo, ScalingIsTheLibrarysOnRandomNumbers) {
  std::mt19937_64 random(17);
  std::uniform_int_distribution<int64_t> integer(-(int64_t{1} << 53), int64_t{1} << 53);
  std::uniform_int_distribution<int> exponent(-1200, 1200);
  for (int k = 0; k < 200000; ++k) {
    // integers as the cache's shapes are, and raw bit patterns of any size
    const double x = k % 2 == 0 ? static_cast<double>(integer(random)) : [&] {
      uint64_t bits = random();
      double v;
      std::memcpy(&v, &bits, sizeof v);
      return v;
    }();
    if (std::isnan(x)) continue;
    const int e = exponent(random);
    ASSERT_EQ(bits_of(times_power_of_two(x, e)), bits_of(std::ldexp(x, e))) << x << " " << e;
  }
}

TEST(PowerOfTwo, ScalingAtTheEdgesIsTheLibrarys) {
  const double inf = std::numeric_limits<double>::infinity();
  const double values[] = {0.0,     -0.0,      1.0,      -1.0,         3.0,          DBL_MIN,
                           DBL_MAX, -DBL_MAX,  inf,      -inf,         DBL_TRUE_MIN, 0.75,
                           1.5,     0x1p-1000, 0x1p1000, 0x1.fffffp-3, 12345678901.0};
  const int exponents[] = {-1075, -1074, -1023, -1022, -100, -1, 0, 1, 100, 1022, 1023, 1024};
  for (double x : values) {
    for (int e : exponents) {
      EXPECT_EQ(bits_of(times_power_of_two(x, e)), bits_of(std::ldexp(x, e))) << x << " " << e;
    }
  }
  // a result that falls below the normal numbers, rounded as the library rounds it
  EXPECT_EQ(bits_of(times_power_of_two(3.0, -1074)), bits_of(std::ldexp(3.0, -1074)));
  EXPECT_EQ(bits_of(times_power_of_two(1.0, -1070)), bits_of(0x1p-1070));
}

TEST(PowerOfTwo, FrexpExponentIsTheLibrarys) {
  std::mt19937_64 random(5);
  for (int k = 0; k < 200000; ++k) {
    const uint64_t bits = random();
    double x;
    std::memcpy(&x, &bits, sizeof x);
    if (std::isnan(x)) continue;
    int e = 0;
    std::frexp(x, &e);
    ASSERT_EQ(frexp_exponent(x), e) << x;
  }
  const double inf = std::numeric_limits<double>::infinity();
  for (double x : {0.0, -0.0, DBL_TRUE_MIN, DBL_MIN, DBL_MAX, inf, 0.5, 1.0, 0.999, 3e-7}) {
    int e = 0;
    std::frexp(x, &e);
    EXPECT_EQ(frexp_exponent(x), e) << x;
  }
  EXPECT_EQ(frexp_exponent(1.0), 1);     // 1 = 0.5 · 2^1, by hand
  EXPECT_EQ(frexp_exponent(0.25), -1);   // 0.25 = 0.5 · 2^-1
  EXPECT_EQ(frexp_exponent(6e-7), -20);  // 2^-21 ≈ 4.8e-7 ≤ 6e-7 < 2^-20 ≈ 9.5e-7
}

}  // namespace
