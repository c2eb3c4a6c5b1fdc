// A cube in the middle of a grounded window (--window ground) whose bottom and top are covered
// by slabs of the net GROUND, so that the walls close a box symmetric about z = 0. The walls'
// outsides carry no charge of the structure: the rows sum to zero, a dielectric that fills the
// box multiplies the vacuum matrix, and one cut at z = 0 gives the mean permittivity, whether a
// block or the planar layers make it.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "dielectric_cases.h"

namespace {

constexpr double kHalf = 3;  // the window is ±kHalf

/// The cube and the two slabs of GROUND, with `media` (medium sections) in the window.
FineResult in_window(const std::vector<double>& eps, const std::vector<double>& tops,
                     const std::string& media = "", std::vector<int32_t> masters = {}) {
  const std::string body = media + box("cube", -0.5, -0.5, -0.5, 1, 1, 1) +
                           box("GROUND", -kHalf, -kHalf, -kHalf, 2 * kHalf, 2 * kHalf, 0.1) +
                           box("GROUND", -kHalf, -kHalf, kHalf - 0.1, 2 * kHalf, 2 * kHalf, 0.1);
  return extract(read(cap3d(eps, tops, body, kHalf), WindowFaces::kGrounded), masters);
}

/// `scale` times the vacuum matrix, with its error scaled alike.
void expect_scaled(const FineResult& result, const FineResult& vacuum, double scale) {
  std::vector<double> expected, error;
  for (size_t at = 0; at < vacuum.estimate.value.size(); ++at) {
    expected.push_back(scale * vacuum.estimate.value[at]);
    error.push_back(scale * vacuum.estimate.error[at]);
  }
  expect_rows(result, expected, 3e-3, error.data());
}

}  // namespace

TEST(FineGroundedWindow, TheRowsSumToZeroAndTheMatrixIsSymmetric) {
  const FineResult vacuum = in_window({}, {});
  ASSERT_EQ(4u, vacuum.estimate.value.size());
  const std::vector<double>& c = vacuum.estimate.value;
  const std::vector<double>& e = vacuum.estimate.error;
  EXPECT_EQ(0.0, c[0] + c[1]);
  EXPECT_EQ(0.0, c[2] + c[3]);
  // The ground's row from its own solve: the cube's charge with the walls at 1.
  const FineResult ground = in_window({}, {}, "", {1});
  ASSERT_EQ(2u, ground.estimate.value.size());
  EXPECT_NEAR(-c[0], ground.estimate.value[0], e[0] + ground.estimate.error[0] + 3e-3 * c[0]);
  EXPECT_NEAR(c[0], ground.estimate.value[1], e[0] + ground.estimate.error[1] + 3e-3 * c[0]);
  // Closer walls than in an open window: more than the free cube's 73.4757.
  EXPECT_GT(c[0], 1.15 * 73.4757);
}

TEST(FineGroundedWindow, ADielectricFillingTheWindowMultipliesTheVacuumMatrix) {
  const FineResult vacuum = in_window({}, {});
  const double h = 2 * kHalf;
  expect_scaled(in_window({}, {}, box("fill", -kHalf, -kHalf, -kHalf, h, h, h, 4)), vacuum, 4);
  // A block that reaches beyond the window is cut to it.
  expect_scaled(in_window({}, {}, box("fill", -9, -9, -9, 18, 18, 18, 4)), vacuum, 4);
}

TEST(FineGroundedWindow, ACutThroughTheMiddleGivesTheMeanPermittivity) {
  const FineResult vacuum = in_window({}, {});
  const double h = 2 * kHalf;
  expect_scaled(in_window({1, 7}, {0}), vacuum, 4);
  expect_scaled(in_window({}, {}, box("lower", -kHalf, -kHalf, -kHalf, h, h, kHalf, 7)), vacuum, 4);
  // A block of 2 over the layer of 6 below, air above: (6 + 2) / 2.
  expect_scaled(in_window({6, 1}, {0}, box("upper", -kHalf, -kHalf, 0, h, h, kHalf, 2)), vacuum, 4);
}

TEST(FineGroundedWindow, FarWallsGiveTheOpenWindowsCapacitance) {
  // A cube in a layer of 2 and a window 1000 wide: the walls add about the cube's size over the
  // window's, 0.1 %; 200 wide, about 0.6 %, above the estimates.
  auto cube = [](double half, WindowFaces faces) {
    return extract(read(cap3d({2}, {}, box("cube", -0.5, -0.5, -0.5, 1, 1, 1), half), faces));
  };
  const FineResult open = cube(500, WindowFaces::kOpen);
  const FineResult far = cube(500, WindowFaces::kGrounded);
  const FineResult near = cube(100, WindowFaces::kGrounded);
  const double c = open.estimate.value[0], e = open.estimate.error[0];
  EXPECT_NEAR(2 * 73.4757, c, e + 1e-4 * c);
  EXPECT_NEAR(c, far.estimate.value[0], e + far.estimate.error[0]);
  EXPECT_GT(near.estimate.value[0] - c, e + near.estimate.error[0]);
  EXPECT_EQ(-far.estimate.value[0], far.estimate.value[2]);
}
