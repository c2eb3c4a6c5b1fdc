// The layered-medium kernel as images against closed forms (uniform media, one interface) and
// against the Sommerfeld integral of the exact spectral function computed without images
// (sommerfeld_reference), on random stacks and on the two industrial stacks of the cap3d cases.

#include "fine/media/layered_kernel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <thread>

#include "sommerfeld_reference.h"

namespace {

LayerStack make_stack(std::vector<double> permittivity, std::vector<double> top) {
  return {std::move(permittivity), std::move(top)};
}

// <plate_medium> of ../shared/cap3d/lines24.cap3d and cell12.cap3d: permittivity, z_top.
LayerStack cap3d_stack(const std::vector<double>& pairs) {
  LayerStack stack;
  for (size_t n = 0; n < pairs.size(); n += 2) {
    stack.permittivity.push_back(pairs[n]);
    if (n + 2 < pairs.size()) stack.top.push_back(pairs[n + 1]);
  }
  return stack;
}

LayerStack lines24() {
  return cap3d_stack({1,    0,     3.9,  .1947, 3.9,  .2622, 4.2,  .265,  7,    .295,  4,    .415,
                      4,    .435,  5.2,  .46,   2.9,  .515,  5.2,  .54,   2.9,  .57,   2.55, .6,
                      2.55, .7,    5.2,  .725,  2.9,  .755,  2.55, .785,  2.55, .885,  5.2,  .91,
                      2.9,  .94,   2.55, .97,   2.55, 1.07,  5.2,  1.095, 2.9,  1.125, 2.55, 1.155,
                      2.55, 1.255, 5.2,  1.28,  2.9,  1.31,  2.55, 1.34,  2.55, 1.44,  5.2,  1.465,
                      2.9,  1.495, 2.55, 1.525, 2.55, 1.625, 5.2,  1.65,  2.9,  1.68,  2.55, 1.71,
                      2.55, 1.81,  5.2,  1.885, 4.2,  2.745, 4.2,  3.895, 5.2,  3.97,  4.2,  4.83,
                      4.2,  5.98,  5.2,  6.055, 4.2,  6.455, 7,    6.53,  4.2,  6.78,  4.2,  7.18,
                      7,    7.78,  1,    91.08});
}

LayerStack cell12() {
  return cap3d_stack(
      {1,    0,      3.9,  .0657,  7,    .0741,  4.5,  .076,   4.5,  .1182,  4.5,  .1406,
       4.5,  .1683,  3.9,  .1755,  3.9,  .1808,  3.9,  .2103,  6,    .2296,  3.9,  .2392,
       2.6,  .2624,  2.6,  .3609,  6,    .3705,  2.8,  .3826,  2.6,  .4218,  2.6,  .5014,
       4.8,  .5083,  2.8,  .5205,  2.6,  .5596,  2.6,  .6392,  4.9,  .6451,  4.8,  .6527,
       2.63, .7002,  2.63, .7823,  6,    .7919,  4.3,  .8091,  2.63, .8497,  2.63, .9414,
       6,    .951,   4.3,  .9682,  2.63, 1.0088, 2.63, 1.1005, 6,    1.1101, 4.3,  1.1273,
       2.63, 1.1679, 2.63, 1.2596, 5.3,  1.312,  4.2,  1.8167, 4.2,  1.8717, 7.1,  1.9247,
       4.2,  2.7366, 5.3,  2.7894, 4.2,  2.8812, 4.2,  2.924,  4.2,  2.9312, 4.2,  2.9953,
       4.2,  3.294,  4.2,  3.349,  7.1,  3.402,  4.2,  4.214,  7.1,  4.2822, 4.2,  4.9186,
       4.2,  7.91,   4.2,  9.0223, 7.1,  9.6711});
}

// G'(x, x') of a fitted kernel, for a source at height zs and a target at (rho, z).
double kernel_value(const LayerPairKernel& kernel, double rho, double z, double zs) {
  double sum = 0.0;
  for (const ImageTerm& term : kernel.terms) {
    sum += term.weight / std::hypot(rho, z - image_z(zs, term));
  }
  return sum;
}

// The fitted kernel of (zs, z) against the Sommerfeld integral at several rho, within its
// stated error (plus 1e-9 for the reference's own quadrature).
void expect_within_error(const LayerStack& stack, const LayeredKernel& kernel, double zs, double z,
                         const std::vector<double>& rhos) {
  const int32_t i = layer_of(stack, zs, 1), j = layer_of(stack, z, 1);
  const LayerPairKernel& pair = kernel.pair(i, j);
  const double eps_min = std::fmin(stack.permittivity[i], stack.permittivity[j]);
  for (double rho : rhos) {
    if (rho == 0.0 && z == zs) continue;  // the charge itself
    const double reference = sommerfeld_potential(stack.permittivity, stack.top, rho, z, zs);
    const double misfit =
        std::fabs(kernel_value(pair, rho, z, zs) - reference) * eps_min * std::hypot(rho, z - zs);
    EXPECT_LE(misfit, pair.error + 1e-9)
        << "zs " << zs << " z " << z << " rho " << rho << " (" << pair.terms.size() << " terms)";
  }
}

TEST(LayerStack, LayerOfBoundariesProblemsAndMerging) {
  const LayerStack stack = make_stack({1, 2, 2, 3}, {0, 1, 2});
  EXPECT_EQ(layer_of(stack, -5, 1), 0);
  EXPECT_EQ(layer_of(stack, 0, -1), 0);
  EXPECT_EQ(layer_of(stack, 0, 1), 1);
  EXPECT_EQ(layer_of(stack, 1.5, -1), 2);
  EXPECT_EQ(layer_of(stack, 2, 1), 3);
  EXPECT_EQ(layer_stack_problem(stack), "");
  EXPECT_EQ(layer_stack_problem(make_stack({}, {})), "the stack has no layer");
  EXPECT_EQ(layer_stack_problem(make_stack({1, 2}, {})), "the stack has 2 layers but 0 boundaries");
  EXPECT_EQ(layer_stack_problem(make_stack({1, 0}, {0})),
            "layer 1: permittivity 0.000000 is not positive and finite");
  EXPECT_EQ(layer_stack_problem(make_stack({1, 2, 3}, {1, 1})),
            "layer 1: its top 1.000000 is not above its bottom 1.000000");
  const MergedStack merged = merge_equal_neighbours(stack);
  EXPECT_EQ(merged.permittivity, (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(merged.top, (std::vector<double>{0, 2}));
  EXPECT_EQ(merged.merged_of, (std::vector<int32_t>{0, 1, 1, 2}));
}

TEST(LayeredKernelExact, UniformAndSplitUniformMediaAreOneTerm) {
  for (const LayerStack& stack : {make_stack({3.9}, {}), make_stack({3.9, 3.9, 3.9}, {0, 1e-4})}) {
    const LayeredKernel kernel(stack, 1e-6);
    for (int32_t i = 0; i < static_cast<int32_t>(stack.permittivity.size()); ++i) {
      for (int32_t j = 0; j < static_cast<int32_t>(stack.permittivity.size()); ++j) {
        const LayerPairKernel& pair = kernel.pair(i, j);
        ASSERT_EQ(pair.terms.size(), 1u);
        EXPECT_EQ(pair.terms[0].weight, 1 / 3.9);
        EXPECT_FALSE(pair.terms[0].mirror);
        EXPECT_EQ(pair.terms[0].offset, 0.0);
        EXPECT_EQ(pair.error, 0.0);
      }
    }
  }
}

// One interface at z = 2 between eps_a = 2 below and eps_b = 5 above, as two layers and as
// four with equal neighbours: the direct term and the mirror image (eps_a - eps_b) / (eps_a +
// eps_b) / eps_a, or one transmitted term 2 / (eps_a + eps_b), exactly.
TEST(LayeredKernelExact, OneInterfaceIsTheClassicalImage) {
  for (const LayerStack& stack : {make_stack({2, 5}, {2}), make_stack({2, 2, 5, 5}, {1, 2, 3})}) {
    const LayeredKernel kernel(stack, 1e-6);
    const int32_t below = 0, above = static_cast<int32_t>(stack.permittivity.size()) - 1;
    const LayerPairKernel& same = kernel.pair(below, below);
    ASSERT_EQ(same.terms.size(), 2u);
    EXPECT_EQ(same.terms[0].weight, 0.5);
    EXPECT_DOUBLE_EQ(same.terms[1].weight, (2.0 - 5.0) / 7.0 / 2.0);
    EXPECT_TRUE(same.terms[1].mirror);
    EXPECT_EQ(same.terms[1].offset, 4.0);
    EXPECT_DOUBLE_EQ(kernel.pair(above, above).terms[1].weight, (5.0 - 2.0) / 7.0 / 5.0);
    for (const LayerPairKernel* cross : {&kernel.pair(below, above), &kernel.pair(above, below)}) {
      ASSERT_EQ(cross->terms.size(), 1u);
      EXPECT_DOUBLE_EQ(cross->terms[0].weight, 2.0 / 7.0);
      EXPECT_EQ(cross->terms[0].offset, 0.0);
      EXPECT_EQ(cross->error, 0.0);
    }
  }
}

// A half-space 10^4 times more (less) permittive than the source's tends to a grounded plane
// (an insulating wall): an image of weight -1 (+1) times the direct one, here within 2e-4.
TEST(LayeredKernelExact, HighContrastHalfSpaceApproachesTheImageLimits) {
  for (double contrast : {1e4, 1e-4}) {
    const LayeredKernel kernel(make_stack({contrast, 1.0}, {0}), 1e-6);
    const LayerPairKernel& pair = kernel.pair(1, 1);
    ASSERT_EQ(pair.terms.size(), 2u);
    const double limit = contrast > 1 ? -1.0 : 1.0;
    EXPECT_NEAR(pair.terms[1].weight, limit, 2.0001e-4);
    EXPECT_NE(pair.terms[1].weight, limit);
    // Far from the plane, at rho = 10 and z = zs = 1: 1/10 - 1/sqrt(104) of a grounded plane.
    EXPECT_NEAR(kernel_value(pair, 10, 1, 1), 0.1 + limit / std::sqrt(104.0), 2e-5);
  }
}

TEST(LayeredKernelAccuracy, RandomStacksAgainstTheSommerfeldIntegral) {
  std::mt19937 random(27);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int trial = 0; trial < 3; ++trial) {
    LayerStack stack;
    double z = 0.0;
    for (int l = 0; l < 6; ++l) {
      stack.permittivity.push_back(1.0 + 9.0 * unit(random));
      if (l < 5) stack.top.push_back(z += std::pow(10.0, -2.0 * unit(random)));
    }
    const LayeredKernel kernel(stack, 1e-5);
    const double height = stack.top.back() - stack.top.front();
    const double mid2 = (stack.top[1] + stack.top[2]) / 2, low2 = stack.top[1] + 1e-3 * height;
    for (const auto& zz : std::vector<std::pair<double, double>>{
             {mid2, mid2},
             {mid2, low2},
             {low2, (stack.top[3] + stack.top[4]) / 2},
             {stack.top[0] - 0.1 * height, stack.top[4] + 0.2 * height}}) {
      expect_within_error(stack, kernel, zz.first, zz.second, {0.0, 0.1 * height, 3 * height});
    }
  }
}

TEST(LayeredKernelAccuracy, ContrastTenThousandSlabs) {
  for (const LayerStack& stack :
       {make_stack({1, 1e4, 1}, {0, 1}), make_stack({1e4, 1, 1e4}, {0, 1})}) {
    const LayeredKernel kernel(stack, 1e-4);
    expect_within_error(stack, kernel, 0.3, 0.6, {0.0, 1.0, 30.0});
    expect_within_error(stack, kernel, 0.5, 1.5, {0.2, 5.0});
  }
}

// The layers that hold conductors in the cap3d cases, sources and targets among them.
TEST(LayeredKernelAccuracy, IndustrialStacksAgainstTheSommerfeldIntegral) {
  const LayerStack stack24 = lines24();
  const LayeredKernel kernel24(stack24, 1e-4);
  expect_within_error(stack24, kernel24, 7.5, 7.5, {0.0, 1.0, 25.0});
  expect_within_error(stack24, kernel24, 7.0, 8.0, {0.3, 10.0});
  expect_within_error(stack24, kernel24, 1.0, 7.3, {0.0, 3.0});
  expect_within_error(stack24, kernel24, -0.05, 1.02, {0.5, 20.0});
  const LayerStack stack12 = cell12();
  const LayeredKernel kernel12(stack12, 1e-4);
  expect_within_error(stack12, kernel12, 0.3, 0.3, {0.0, 0.5, 10.0});
  expect_within_error(stack12, kernel12, -0.05, 0.1, {0.2, 5.0});
}

// G'_ij(x, x') = G'_ji(x', x), by construction to rounding.
TEST(LayeredKernelSymmetry, ReciprocityAcrossLayers) {
  const LayerStack stack = make_stack({1, 3.9, 7, 2.5, 4.2}, {0, 0.2, 0.25, 1});
  const LayeredKernel kernel(stack, 1e-5);
  const double heights[] = {-0.3, 0.1, 0.22, 0.6, 1.4};
  for (double zs : heights) {
    for (double z : heights) {
      const int32_t i = layer_of(stack, zs, 1), j = layer_of(stack, z, 1);
      const double forward = kernel_value(kernel.pair(i, j), 0.7, z, zs);
      const double backward = kernel_value(kernel.pair(j, i), 0.7, zs, z);
      EXPECT_NEAR(forward, backward, 1e-14 * std::fabs(forward)) << zs << " " << z;
    }
  }
}

// Every z times s: the same weights, offsets times s; and the same bits from any thread.
TEST(LayeredKernelSymmetry, ScaleCovarianceAndDeterminism) {
  const LayerStack stack = make_stack({1, 3.9, 7, 2.5, 4.2}, {0, 0.2, 0.25, 1});
  const LayeredKernel kernel(stack, 1e-5);
  for (double s : {1e-6, 1e6, 3.0}) {
    LayerStack scaled = stack;
    for (double& top : scaled.top) top *= s;
    const LayeredKernel other(scaled, 1e-5);
    for (int32_t i : {1, 3}) {
      const LayerPairKernel &a = kernel.pair(i, 3), &b = other.pair(i, 3);
      ASSERT_EQ(a.terms.size(), b.terms.size()) << s;
      for (size_t n = 0; n < a.terms.size(); ++n) {
        EXPECT_NEAR(b.terms[n].weight, a.terms[n].weight, 1e-12 * std::fabs(a.terms[n].weight));
        EXPECT_NEAR(b.terms[n].offset, a.terms[n].offset * s, 1e-12 * std::fabs(s) * 2.0);
      }
    }
  }
  const LayeredKernel threaded(stack, 1e-5);
  std::vector<std::thread> threads;
  for (int32_t t = 0; t < 4; ++t) threads.emplace_back([&, t] { threaded.pair(t % 2 ? 3 : 1, 3); });
  for (std::thread& thread : threads) thread.join();
  for (int32_t i : {1, 3}) {
    const LayerPairKernel &a = kernel.pair(i, 3), &b = threaded.pair(i, 3);
    ASSERT_EQ(a.terms.size(), b.terms.size());
    for (size_t n = 0; n < a.terms.size(); ++n) {
      EXPECT_EQ(a.terms[n].weight, b.terms[n].weight);
      EXPECT_EQ(a.terms[n].mirror, b.terms[n].mirror);
      EXPECT_EQ(a.terms[n].offset, b.terms[n].offset);
    }
    EXPECT_EQ(a.error, b.error);
  }
}

TEST(ImageRect, HorizontalAndVerticalRectanglesMoveAndMirrorInZ) {
  AxisRect floor = {2, 0.5, {0, 1}, {2, 3}};
  const AxisRect mirrored = image_rect(floor, {1.0, true, 4.0});
  EXPECT_EQ(mirrored.plane, 3.5);
  EXPECT_EQ(mirrored.lo[0], 0.0);
  EXPECT_EQ(image_rect(floor, {1.0, false, -1.0}).plane, -0.5);
  const AxisRect wall_x = {0, 1.0, {0, 0.25}, {1, 0.75}};  // spans y in [0, 1], z in [0.25, 0.75]
  const AxisRect flipped = image_rect(wall_x, {1.0, true, 2.0});
  EXPECT_EQ(flipped.lo[1], 1.25);
  EXPECT_EQ(flipped.hi[1], 1.75);
  EXPECT_EQ(flipped.lo[0], 0.0);
  const AxisRect wall_y = {1, 1.0, {0.25, 0}, {0.75, 1}};  // spans z in [0.25, 0.75], x in [0, 1]
  const AxisRect moved = image_rect(wall_y, {1.0, false, 3.0});
  EXPECT_EQ(moved.lo[0], 3.25);
  EXPECT_EQ(moved.hi[0], 3.75);
  EXPECT_EQ(moved.hi[1], 1.0);
}

}  // namespace
