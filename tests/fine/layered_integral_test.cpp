// The near coefficients through a stack's images (of the potential and of the normal field), each
// image computed as cheaply as its share of the sum allows, against every image integrated
// numerically in long double (reference_integral and reference_normal_field, apart from the code
// under test): thin, long panels crossing and side by side across layers, at
// contrasts up to 10⁴ and at heights a hair apart.

#include "fine/coefficients/layered_integral.h"

#include <gtest/gtest.h>

#include <cmath>

#include "fine/coefficients/galerkin_integral.h"
#include "fine/coefficients/normal_field_integral.h"
#include "fine/media/layered_kernel.h"
#include "rectangle_pairs.h"
#include "reference_integral.h"

namespace {

struct StackCase {
  LayerStack stack;  // the layers
  const char* name;  // for the messages
};

// The error of layered_potential_integral against the reference, over Σ |w_n| |I_n|.
double budget_used(const AxisRect& a, const AxisRect& b, const LayerPairKernel& kernel) {
  long double reference = 0, magnitude = 0;
  for (const ImageTerm& term : kernel.terms) {
    const long double value = reference_integral(a, image_rect(b, term));
    reference += term.weight * value;
    magnitude += std::fabs(term.weight * value);
  }
  return static_cast<double>(std::fabs(layered_potential_integral(a, b, kernel) - reference) /
                             magnitude);
}

// The same for the normal field on a, over Σ |w_n| normal_field_scale(a, image_n(b)).
double normal_budget_used(const AxisRect& a, const AxisRect& b, const LayerPairKernel& kernel) {
  long double reference = 0, scale = 0;
  for (const ImageTerm& term : kernel.terms) {
    const AxisRect image = image_rect(b, term);
    reference += term.weight * reference_normal_field(a, image);
    scale += std::fabs(term.weight) * normal_field_scale(a, image);
  }
  return static_cast<double>(std::fabs(layered_normal_field(a, b, kernel) - reference) / scale);
}

}  // namespace

TEST(LayeredIntegral, ThinLongPanelsAcrossLayersKeepTheBudgetOfEveryImageAtItsBound) {
  const StackCase stacks[] = {
      {{{1e4, 1}, {0}}, "contrast 1e4 below"},
      {{{1, 1e4}, {0}}, "contrast 1e4 above"},
      {{{3.9, 1e4, 2.5, 7}, {-0.2, -0.19, 0.31}}, "a thin slab of 1e4 under two films"},
      {{{4.2, 2.55, 5.2, 2.9}, {0.0001, 0.03, 0.0301}}, "films of near-equal heights"},
  };
  // Strips 1 × 0.01 (aspect 100) at heights in the layers above and at the boundary at 0.
  const double heights[] = {0.0001, 0.02, 0.3};
  for (const StackCase& c : stacks) {
    const LayeredKernel kernel(c.stack, 1e-5);
    for (double za : heights) {
      for (double zb : heights) {
        const int32_t la = layer_of(c.stack, za, 1), lb = layer_of(c.stack, zb, 1);
        const LayerPairKernel& pair = kernel.pair(lb, la);
        const AxisRect a = rect(2, za, 0, 0, 1, 0.01);
        const AxisRect crossing = rect(2, zb, 0.4, -0.3, 0.41, 0.7);
        const AxisRect beside = rect(2, zb, 0.05, 0.012, 1.05, 0.022);
        const AxisRect wall = rect(1, 0.015, zb, 0.1, zb + 0.01, 1.1);  // z, then x
        if (za != zb) {
          EXPECT_LE(budget_used(a, crossing, pair), kLayeredIntegralBound)
              << c.name << ", crossing at " << za << " and " << zb;
          EXPECT_LE(normal_budget_used(a, crossing, pair), kLayeredIntegralBound)
              << c.name << ", crossing at " << za << " and " << zb;
        }
        EXPECT_LE(budget_used(a, beside, pair), kLayeredIntegralBound)
            << c.name << ", beside at " << za << " and " << zb;
        // Small squares, whose images lie a few of their sizes away: expansions of an order
        // set by each image's allowance.
        const AxisRect square = rect(2, za, 0, 0, 0.02, 0.02);
        const AxisRect next = rect(2, zb, 0.03, 0.01, 0.05, 0.03);
        EXPECT_LE(budget_used(square, next, pair), kLayeredIntegralBound)
            << c.name << ", squares at " << za << " and " << zb;
        if (za != zb) {
          EXPECT_LE(normal_budget_used(square, next, pair), kLayeredIntegralBound)
              << c.name << ", squares at " << za << " and " << zb;
        }
        if (layer_of(c.stack, wall.lo[0], 1) == lb && layer_of(c.stack, wall.hi[0], -1) == lb) {
          EXPECT_LE(budget_used(a, wall, pair), kLayeredIntegralBound)
              << c.name << ", wall at " << zb;
          EXPECT_LE(normal_budget_used(a, wall, pair), kLayeredIntegralBound) << c.name << ", wall";
        }
      }
    }
  }
}

TEST(LayeredIntegral, AnAllowanceIsTakenOnlyWhereItIsGivenAndTheLowerBoundHolds) {
  // With no allowance, the bits of galerkin_integral; the lower bound below the reference on
  // pairs from touching to far apart.
  const AxisRect a = rect(2, 0, 0, 0, 1, 0.01);
  for (const AxisRect& b : {rect(2, 0.001, 0.4, -0.3, 0.41, 0.7), rect(2, 0, 1, 0, 2, 0.01),
                            rect(0, 0.5, -0.2, 0, 0.3, 0.2), rect(2, 3, 5, 5, 6, 6)}) {
    EXPECT_EQ(galerkin_integral_within(a, b, 0), galerkin_integral(a, b));
    const long double reference = reference_integral(a, b);
    EXPECT_LE(galerkin_lower_bound(a, b), reference);
    EXPECT_GT(galerkin_lower_bound(a, b), 0.02 * reference);
    // An allowance of a thousandth of the integral: the error within it, never beyond.
    const double loose = galerkin_integral_within(a, b, 1e-3 * static_cast<double>(reference));
    EXPECT_LE(std::fabs(loose - reference), 1e-3 * reference);
  }
}
