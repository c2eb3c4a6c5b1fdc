// vornax-fine's Galerkin coefficients against values found apart from the code under test: the
// potential of one rectangle integrated numerically over the other in long double, published
// closed-form values, and hand formulas.

#include "fine/coefficients/galerkin_integral.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "fine/coefficients/closed_form_kernels.h"
#include "fine/coefficients/gauss_legendre.h"
#include "fine/coefficients/pair_expansion.h"
#include "rectangle_pairs.h"
#include "reference_integral.h"

// The register functions of the closed forms, on registers of two doubles.
#define LANE_WIDTH 2
#include "fine/coefficients/lane_math.inc"

TEST(FineReference, PotentialAgreesWithDirectQuadratureAndTheCentreValue) {
  const AxisRect r = rect(2, 0.5, -1, 0.25, 1, 1.75);  // 2 × 1.5 at z = 0.5
  // At the centre of a 2p × 2q rectangle: 4·∫₀ᵖ∫₀^q dx dy / √(x² + y²) = 4(p·asinh(q/p) +
  // q·asinh(p/q)).
  const long double centre[3] = {0, 1, 0.5};
  EXPECT_LT(relative(reference_potential(r, centre),
                     4 * (std::asinh(0.75L) + 0.75L * std::asinh(1 / 0.75L))),
            1e-17);
  const long double points[][3] = {{0, 1, 1.5}, {2, 3, 0}, {-1.3, 0.2, -0.4}};
  const GaussRule rule = gauss_legendre(kMaxGaussLegendrePoints);
  for (const auto& p : points) {
    long double sum = 0;  // 4 × 4 panels of 32 × 32 points
    for (int32_t pu = 0; pu < 4; ++pu) {
      for (int32_t pv = 0; pv < 4; ++pv) {
        for (int32_t i = 0; i < kMaxGaussLegendrePoints; ++i) {
          for (int32_t j = 0; j < kMaxGaussLegendrePoints; ++j) {
            const long double x = -1 + 0.5L * (pu + (1 + rule.node[i]) / 2);
            const long double y = 0.25L + 0.375L * (pv + (1 + rule.node[j]) / 2);
            const long double dx = p[0] - x, dy = p[1] - y, dz = p[2] - 0.5L;
            sum += rule.weight[i] * rule.weight[j] * 0.25L * 0.1875L /
                   std::sqrt(dx * dx + dy * dy + dz * dz);
          }
        }
      }
    }
    EXPECT_LT(relative(reference_potential(r, p), sum), 1e-14) << p[0] << " " << p[1];
  }
}

TEST(FineCoefficients, PublishedValuesAndTheSquareWithItself) {
  const AxisRect square = rect(2, 0, 0, 0, 1, 1);
  const struct {
    AxisRect b;       // paired with the unit square, or with [0, 2] × [0, 1] for the third
    double integral;  // published value of I
  } cases[] = {
      {rect(2, 1, 0, 0, 1, 1), 0.878814495854183},  // facing at distance 1
      {rect(2, 0, 1, 0, 2, 1), 1.11212868984901},   // sharing an edge in one plane
      {rect(2, 0.3, 0.5, 0.25, 1.5, 2.25), 4.42387002951387},
      {rect(1, 1, 0, 0, 1, 1), 1.34889024636117},  // sides of a cube along an edge
      {rect(1, 1.5, 0.5, 0, 2, 1), 0.937165774924365},
  };
  for (int32_t k = 0; k < 5; ++k) {
    const AxisRect a = k == 2 ? rect(2, 0, 0, 0, 2, 1) : square;
    EXPECT_LT(relative(galerkin_integral(a, cases[k].b), cases[k].integral), 5e-15) << k;
  }
  // 4[ln(1 + √2) − (√2 − 1)/3]·s³ for a square of side s.
  for (double s : {1.0, 3e-4, 7e5}) {
    const double hand = 4 * (std::log(1 + std::sqrt(2.0)) - (std::sqrt(2.0) - 1) / 3) * s * s * s;
    EXPECT_LT(
        relative(galerkin_integral(rect(0, s, s, -s, 2 * s, 0), rect(0, s, s, -s, 2 * s, 0)), hand),
        1e-15);
  }
}

// The heart of it: every relation, size ratio and aspect ratio of the grid within 10⁻⁶, and
// the same bits with the rectangles swapped.
TEST(FineCoefficients, AgreeWithNumericalIntegrationOverTheGrid) {
  double worst = 0;
  for (const Pair& p : grid()) {
    const double value = galerkin_integral(p.a, p.b);
    const double error = relative(value, reference_integral(p.a, p.b));
    worst = std::fmax(worst, error);
    EXPECT_LT(error, 1e-6) << p.b.axis << " " << p.b.plane << " " << p.b.lo[0] << " " << p.b.lo[1]
                           << " " << p.b.hi[0] << " " << p.b.hi[1] << " / " << p.a.hi[1];
    EXPECT_EQ(value, galerkin_integral(p.b, p.a));
  }
  std::printf("largest relative error over the grid: %.2g\n", worst);
}

// A looser bound on the far expansion, as the near coefficients of the default accuracy take:
// every pair of the grid within it, the same bits both ways round, and at the expansion's own
// bound the bits of galerkin_integral.
TEST(FineCoefficients, ALooserFarToleranceKeepsEveryPairWithinIt) {
  int32_t loosened = 0;
  for (const Pair& p : grid()) {
    const double value = galerkin_integral_to(p.a, p.b, 1e-5);
    EXPECT_LT(relative(value, reference_integral(p.a, p.b)), 1e-5);
    EXPECT_EQ(value, galerkin_integral_to(p.b, p.a, 1e-5));
    const double own = galerkin_integral(p.a, p.b);
    EXPECT_EQ(own, galerkin_integral_to(p.a, p.b, 1e-7));
    loosened += value != own ? 1 : 0;
  }
  EXPECT_GT(loosened, 0);
}

// No length is absolute: I(s·a, s·b) = s³·I(a, b) to 10⁻¹², and moving, turning or mirroring
// the pair changes I by no more than the rounding of its coordinates can (which is what the
// allowance of 10⁻¹⁵ times the largest coordinate over the shortest side is for).
TEST(FineCoefficients, ScaleFreeAndIndifferentToPlaceAndOrientation) {
  for (const Pair& p : grid()) {
    const double base = galerkin_integral(p.a, p.b);
    for (double s : {1e-6, 3e-3, 0.37, 7.0, 1e3, 1e6}) {
      const Pair q = moved(p, s, 0, 0, false);
      EXPECT_LT(relative(galerkin_integral(q.a, q.b) / (s * s * s), base),
                1e-12 + 1e-15 * coordinate_spread(q))
          << s << " b " << p.b.axis << " " << p.b.plane << " " << p.b.lo[0] << " " << p.b.lo[1]
          << " " << p.b.hi[0] << " " << p.b.hi[1] << " a.w " << p.a.hi[1];
    }
    for (int32_t turn = 0; turn < 3; ++turn) {
      const Pair q = moved(p, 1, turn == 0 ? 0.0 : 3.1, turn, turn != 1);
      EXPECT_LT(relative(galerkin_integral(q.a, q.b), base), 1e-12 + 1e-15 * coordinate_spread(q))
          << turn;
    }
  }
}

// The expansion's error bound holds, down to the shape that comes closest to it: a segment and
// a point on its line.
TEST(FineCoefficients, FarExpansionKeepsWithinItsBound) {
  const AxisRect segment = rect(2, 0, 0, 0, 1, 1e-4);
  const AxisRect square = rect(2, 0, 0, 0, 1, 1);
  for (double d : {2.2, 3.0, 5.0, 20.0, 300.0}) {
    const AxisRect far_dot = rect(0, 0.5 + d, 0, 0, 1e-4, 1e-4);
    const AxisRect far_square = rect(1, 1 + d, 0.3, 0.2, 1.3, 1.2);
    for (const Pair& p : {Pair{segment, far_dot}, Pair{square, far_square}}) {
      for (double tolerance : {1e-3, 1e-7}) {
        const int32_t order = far_expansion_order(p.a, p.b, tolerance);
        if (order < 0) continue;
        EXPECT_LT(relative(far_expansion_integral(p.a, p.b, order), reference_integral(p.a, p.b)),
                  tolerance)
            << d << " " << order;
      }
    }
  }
  EXPECT_EQ(far_expansion_order(segment, rect(0, 2, 0, 0, 1e-4, 1e-4), 1e-7), -1);
}

TEST(FineCoefficients, GaussLegendreRulesAreExactToTheirDegree) {
  for (int32_t n = 1; n <= kMaxGaussLegendrePoints; ++n) {
    const GaussRule rule = gauss_legendre(n);
    for (int32_t degree = 0; degree < 2 * n; degree += 2) {
      double sum = 0;
      for (int32_t i = 0; i < n; ++i) sum += rule.weight[i] * std::pow(rule.node[i], degree);
      EXPECT_NEAR(sum, 2.0 / (degree + 1), 1e-15) << n << " " << degree;
    }
  }
}

namespace {

// The bits of a double, so that a zero's sign counts as well.
uint64_t bits_of(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

}  // namespace

// Every instruction-set path of the closed forms gives the same bits, zeros and ties included:
// two, four and eight lanes (a row of the corners, or two rows, to a register).
TEST(FineCoefficients, ClosedFormPathsAgreeToTheBit) {
  if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "no AVX2 on this processor";
  const int32_t path_count = __builtin_cpu_supports("avx512f") ? 3 : 2;
  const ClosedFormKernels* paths[3] = {&kClosedFormKernelsSse2, &kClosedFormKernelsAvx2,
                                       &kClosedFormKernelsAvx512};
  const std::vector<CornerDifferences> inputs = awkward_differences(12345, 2000);
  for (int32_t trial = 0; trial < 2000; ++trial) {
    const double *xs = inputs[trial].xs, *ys = inputs[trial].ys, *zs = inputs[trial].zs;
    double sums[3][4], sizes[3][3];
    for (int32_t p = 0; p < path_count; ++p) {
      sums[p][0] = paths[p]->parallel_sum(xs, ys, zs[0], sizes[p][0]);
      sums[p][1] = paths[p]->reduced_parallel_sum(xs, ys, zs[0], sizes[p][1]);
      sums[p][2] = paths[p]->perpendicular_sum(xs, ys, zs, sizes[p][2]);
      sums[p][3] = paths[p]->potential_sum(xs, ys, zs[0]);
    }
    for (int32_t p = 1; p < path_count; ++p) {
      for (int32_t k = 0; k < 4; ++k)
        EXPECT_EQ(bits_of(sums[0][k]), bits_of(sums[p][k])) << trial << " " << k << " " << p;
      for (int32_t k = 0; k < 3; ++k)
        EXPECT_EQ(bits_of(sizes[0][k]), bits_of(sizes[p][k])) << trial << " " << k << " " << p;
    }
  }
}

// The logarithms and arctangent of the closed forms' registers, against long double.
TEST(FineCoefficients, LaneFunctionsWithinTwoUnitsInTheLastPlace) {
  auto ulps = [](double value, long double exact) {
    const double rounded = static_cast<double>(exact);
    const double unit = std::nextafter(std::fabs(rounded), INFINITY) - std::fabs(rounded);
    return static_cast<double>(std::fabs(value - exact) / unit);
  };
  uint64_t state = 99;
  auto uniform = [&state]() {  // in [0, 1)
    state = state * 6364136223846793005u + 1442695040888963407u;
    return static_cast<double>(state >> 11) * 0x1p-53;
  };
  double worst_log = 0, worst_log1p = 0, worst_atan = 0;
  for (int32_t trial = 0; trial < 20000; ++trial) {
    double x[LANE_WIDTH], u[LANE_WIDTH], p[LANE_WIDTH], q[LANE_WIDTH];
    for (int32_t l = 0; l < LANE_WIDTH; ++l) {
      x[l] = trial % 5 == 0 ? 1 + (uniform() - 0.5) / 64
                            : std::ldexp(0.5 + uniform(), static_cast<int>(uniform() * 200) - 100);
      u[l] = std::ldexp(uniform(), static_cast<int>(uniform() * 80) - 60);
      p[l] = std::ldexp(uniform() - 0.5, static_cast<int>(uniform() * 40) - 20);
      q[l] = std::ldexp(0.5 + uniform(), static_cast<int>(uniform() * 40) - 20);
    }
    const Lane logs = lane_log(load(x)), logs1p = lane_log1p(load(u));
    const Lane angles = lane_atan_ratio(load(p), load(q));
    for (int32_t l = 0; l < LANE_WIDTH; ++l) {
      worst_log = std::fmax(worst_log, ulps(logs[l], std::log(static_cast<long double>(x[l]))));
      worst_log1p =
          std::fmax(worst_log1p, ulps(logs1p[l], std::log1p(static_cast<long double>(u[l]))));
      worst_atan =
          std::fmax(worst_atan, ulps(angles[l], std::atan(static_cast<long double>(p[l]) / q[l])));
    }
  }
  EXPECT_LT(worst_log, 2);
  EXPECT_LT(worst_log1p, 2);
  EXPECT_LT(worst_atan, 2);
}
