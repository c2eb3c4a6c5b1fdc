// The parts of the layered kernel's fits: the spatial bound of a sum of images against the
// sums sampled densely in space, the choice of fits among the coefficient functions against
// choices made by hand, and whole kernels at the worst places (images nearest their targets)
// against the Sommerfeld integral, made on one thread and on two.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "fine/media/image_sum_bound.h"
#include "fine/media/layered_kernel.h"
#include "fine/media/portable_exp.h"
#include "fine/media/tolerance_split.h"
#include "sommerfeld_reference.h"

namespace {

// sup |x - x'| |sum_n w_n / |x - image_n|| over rho >= 0, h >= h0 (x' the source at the
// origin, image n at depth q_n below it), sampled on a dense grid in long double.
double sampled_sup(const std::vector<double>& rate, const std::vector<double>& weight, double h0) {
  long double worst = 0;
  for (int i = 0; i <= 400; ++i) {
    const long double rho = i == 0 ? 0.0L : std::pow(10.0L, -6.0L + i * 0.03L);
    for (int k = 0; k <= 120; ++k) {
      const long double h = h0 + (k == 0 ? 0.0L : std::pow(10.0L, -6.0L + k * 0.1L));
      long double sum = 0;
      for (size_t n = 0; n < rate.size(); ++n) sum += weight[n] / std::hypot(rho, h + rate[n]);
      worst = std::fmax(worst, std::hypot(rho, h) * std::fabs(sum));
    }
  }
  return static_cast<double>(worst);
}

TEST(ImageSumBound, CoversTheSampledSupremumAndStaysClose) {
  // Cancelling weights at nearby rates, as the difference of two fits has them.
  const std::vector<double> rate = {1e-4, 1.1e-4, 3e-3, 0.02, 0.021, 0.5, 7.0};
  const std::vector<double> weight = {0.3, -0.31, 2e-3, 5.0, -5.02, -1e-2, 4e-3};
  for (double h0 : {0.0, 1e-3, 0.2}) {
    const double sampled = sampled_sup(rate, weight, h0);
    const double bound = image_sum_bound(rate, weight, h0, 1e-6 * sampled);
    EXPECT_GE(bound, sampled) << h0;
    // At h = h0 the sum is sampled where the bound looks; above, Kelvin's inversion keeps it
    // smaller. The bound is the two suprema on that plane added, so within twice.
    EXPECT_LE(bound, (h0 == 0.0 ? 1.01 : 2.0) * sampled) << h0;
  }
  EXPECT_EQ(image_sum_bound({}, {}, 0.0, 1e-9), 0.0);
  // A limit above the bound leaves it as it is; one below the sampled supremum gives up.
  const double sampled = sampled_sup(rate, weight, 1e-3);
  const double bound = image_sum_bound(rate, weight, 1e-3, 1e-6 * sampled);
  EXPECT_EQ(image_sum_bound(rate, weight, 1e-3, 1e-6 * sampled, 1.001 * bound), bound);
  EXPECT_EQ(image_sum_bound(rate, weight, 1e-3, 1e-6 * sampled, 0.999 * sampled), HUGE_VAL);
}

TEST(PortableExp, WithinTwoUlpOfTheLongDoubleExponentialOverTheWholeRange) {
  // Every rate and weight of a fit goes through it; the reference is the C library's expl.
  double worst = 0.0;
  for (int i = 0; i <= 200000; ++i) {
    for (double x : {-745.0 + i * (1454.0 / 200000), -1.0 + i * 1e-5, (i - 100000) * 3.7e-9}) {
      const long double exact = std::exp(static_cast<long double>(x));
      const double rounded = static_cast<double>(exact);
      const double ulp = std::nextafter(rounded, HUGE_VAL) - rounded;
      if (!(rounded >= 1e-300)) continue;  // the subnormal tail: no relative accuracy asked
      worst = std::fmax(worst, static_cast<double>(std::fabs(portable_exp(x) - exact) / ulp));
    }
  }
  EXPECT_LE(worst, 2.0);
  EXPECT_EQ(portable_exp(0.0), 1.0);
  EXPECT_EQ(portable_exp(-746.0), 0.0);
  EXPECT_EQ(portable_exp(710.0), HUGE_VAL);
}

TEST(ImageSumBound, CoversSumsOfCancellingFitsWhereverTheirSupremumLies) {
  // Differences of two fits as the fitting measures them: pairs of images at nearby rates with
  // nearly opposite weights, spread over five decades, the supremum near one pair or another.
  // Cells left because they cannot raise the bound must not hide where it is taken.
  uint64_t state = 12345;
  auto uniform = [&state] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state >> 11) / 9007199254740992.0;
  };
  for (int trial = 0; trial < 12; ++trial) {
    std::vector<double> rate, weight;
    for (int pair = 0; pair < 4; ++pair) {
      const double q = std::pow(10.0, -4.0 + 5.0 * uniform()), w = 10.0 * (uniform() - 0.5);
      rate.push_back(q);
      weight.push_back(w);
      rate.push_back(q * (1.0 + 0.2 * uniform()));
      weight.push_back(-w * (1.0 + 0.02 * (uniform() - 0.5)));
    }
    const double h0 = trial % 3 == 0 ? 0.0 : std::pow(10.0, -3.0 + 2.0 * uniform());
    const double sampled = sampled_sup(rate, weight, h0);
    const double bound = image_sum_bound(rate, weight, h0, 1e-4 * sampled);
    EXPECT_GE(bound, sampled) << trial;
    EXPECT_LE(bound, 2.0 * sampled) << trial;
  }
}

ExponentialSum with_bound(double bound) {
  ExponentialSum sum;
  sum.bound = bound;
  return sum;
}

std::vector<ExponentialSum> sequence(const std::vector<double>& bounds) {
  std::vector<ExponentialSum> sums;
  for (double b : bounds) sums.push_back(with_bound(b));
  return sums;
}

TEST(CheapestSplit, MovesTheToleranceToWhereItSavesTerms) {
  // Even shares (0.5 each) would take 2 + 2 terms; 1 + 2 meets 1.0 as 0.6 + 0.3.
  EXPECT_EQ(cheapest_split({sequence({9, 0.6, 0.45}), sequence({9, 0.8, 0.3})}, {1, 1}, 1.0),
            (std::vector<int32_t>{1, 2}));
  // A function held twice counts twice, in terms and in error: held once, 1 + 1 would do
  // (0.4 + 0.55); held twice, 2 * 0.4 + 0.1 and 2 * 0.2 + 0.55 both cost 5 images, and the
  // smaller error wins.
  EXPECT_EQ(cheapest_split({sequence({9, 0.4, 0.2}), sequence({9, 0.55, 0.25, 0.1})}, {2, 1}, 1.0),
            (std::vector<int32_t>{1, 3}));
  // A fit no better than a shorter one is never chosen; out of reach, the smallest bounds.
  EXPECT_EQ(cheapest_split({sequence({9, 0.2, 0.3, 0.1})}, {1}, 0.25), (std::vector<int32_t>{1}));
  EXPECT_EQ(cheapest_split({sequence({9, 3, 2}), sequence({9, 0.1})}, {1, 1}, 1.0),
            (std::vector<int32_t>{2, 1}));
}

// Images nearest their targets: a source and a target on the faces that look at each other
// across the layers between, and both on one face, against the Sommerfeld integral; made on
// two threads and on one, the same bits.
TEST(LayeredKernelWorstPlaces, FacingFacesAgainstTheSommerfeldIntegral) {
  const LayerStack stack = {{1, 3.9, 7, 2.5, 4.2, 2.9}, {0, 0.2, 0.25, 0.6, 0.7}};
  const LayeredKernel kernel(stack, 1e-5), serial(stack, 1e-5);
  kernel.make_pairs({1, 2, 3, 4}, 2);
  serial.make_pairs({1, 2, 3, 4}, 1);
  // Facing faces across two layers (both ways, and across three), both on one face, the two
  // faces of one layer, and a source on its layer's bottom with a target on the bottom of one
  // above; each point 1e-7 inside its layer (the reference takes no source on an interface).
  const double in = 1e-7;
  const struct {
    double zs, z;
    int32_t i, j;
  } places[] = {{0.2 - in, 0.6 + in, 1, 4}, {0.6 + in, 0.2 - in, 4, 1}, {0.2 - in, 0.7 + in, 1, 5},
                {0.0 + in, 0.0 + in, 1, 1}, {0.2 - in, 0.2 - in, 1, 1}, {0.25 + in, 0.6 - in, 3, 3},
                {0.0 + in, 0.6 + in, 1, 4}};
  for (const auto& place : places) {
    const int32_t i = place.i, j = place.j;
    ASSERT_EQ(layer_of(stack, place.zs, 1), i);
    ASSERT_EQ(layer_of(stack, place.z, 1), j);
    const LayerPairKernel& pair = kernel.pair(i, j);
    const double eps_min = std::fmin(stack.permittivity[i], stack.permittivity[j]);
    // Where source and target share a face the reference's integrand barely decays: small
    // rho only there.
    const std::vector<double> rhos = place.z == place.zs ? std::vector<double>{1e-3, 0.01}
                                                         : std::vector<double>{1e-3, 0.03, 0.4, 3};
    for (double rho : rhos) {
      double fitted = 0.0;
      for (const ImageTerm& term : pair.terms) {
        fitted += term.weight / std::hypot(rho, place.z - image_z(place.zs, term));
      }
      const double reference =
          sommerfeld_potential(stack.permittivity, stack.top, rho, place.z, place.zs);
      const double distance = std::hypot(rho, place.z - place.zs);
      EXPECT_LE(std::fabs(fitted - reference) * eps_min * distance, pair.error + 1e-9)
          << i << " " << j << " rho " << rho;
    }
    const LayerPairKernel& other = serial.pair(i, j);
    ASSERT_EQ(pair.terms.size(), other.terms.size());
    for (size_t n = 0; n < pair.terms.size(); ++n) {
      EXPECT_EQ(pair.terms[n].weight, other.terms[n].weight);
      EXPECT_EQ(pair.terms[n].offset, other.terms[n].offset);
    }
    EXPECT_EQ(pair.error, other.error);
  }
}

}  // namespace
