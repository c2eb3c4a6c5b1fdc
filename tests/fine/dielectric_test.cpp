// vornax-fine in dielectrics against exact results of the physics (the references of
// ../shared/fine/dielectrics.md): a uniform medium multiplies the vacuum matrix, a symmetric cut
// gives the mean permittivity, a half-space of very high or very low permittivity acts as the
// image of the vacuum pair; master nets give the rows of the full matrix.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "dielectric_cases.h"
#include "fine/mesh/graded_mesh.h"
#include "fine/program/named_output.h"

namespace {

/// 4πε0 · 0.6606782 for the unit cube, in Cap.txt's unit (pF for metres): the random-walk
/// value of Hwang and Mascagni (2004).
constexpr double kCube = 73.4757;

const std::string kCubeConductor = box("cube", 0, 0, 0, 1, 1, 1);

}  // namespace

TEST(FineDielectrics, AUniformStackMultipliesTheVacuumCube) {
  // Interfaces between equal permittivities, one through the cube: nothing changes but εr.
  const FineResult result = extract(read(cap3d({3, 3, 3}, {0.25, 0.5}, kCubeConductor)));
  expect_rows(result, {3 * kCube}, 1e-4);
  EXPECT_LE(std::fabs(result.estimate.value[0] / (3 * kCube) - 1), 3e-3);
}

TEST(FineDielectrics, APanelFileInAUniformMediumIsItsVacuumMatrixTimesThePermittivity) {
  std::istringstream in(
      "0 two plates\n"
      "Q 1  0 0 0  1 0 0  1 1 0  0 1 0\nQ 2  0 0 0.2  1 0 0.2  1 1 0.2  0 1 0.2\n");
  FineStructure structure;
  StructureFormat format;
  ASSERT_EQ("", read_structure(in, "plates", WindowFaces::kOpen, structure, format));
  const FineResult vacuum = extract(structure);
  const FineResult medium = extract(structure, {}, 2.5);
  ASSERT_EQ(vacuum.estimate.value.size(), medium.estimate.value.size());
  for (size_t at = 0; at < vacuum.estimate.value.size(); ++at) {
    EXPECT_NEAR(2.5 * vacuum.estimate.value[at], medium.estimate.value[at],
                1e-12 * std::fabs(medium.estimate.value[at]));
  }
}

TEST(FineDielectrics, ACubeCutThroughItsMiddleHasTheMeanPermittivity) {
  const FineResult result = extract(read(cap3d({1, 7}, {0.5}, kCubeConductor)));
  expect_rows(result, {4 * kCube}, 1e-4);
  EXPECT_LE(std::fabs(result.estimate.value[0] / (4 * kCube) - 1), 3e-3);
}

TEST(FineDielectrics, ARowOfWiresCutAtHalfThicknessIsItsVacuumMatrixTimesTheMean) {
  std::string wires;
  for (int k = 0; k < 3; ++k) wires += box("w" + std::to_string(k), 1.5 * k, 0, 0, 1, 6, 0.5);
  const FineResult vacuum = extract(read(cap3d({1, 1}, {0.25}, wires)));
  const FineResult cut = extract(read(cap3d({2, 5}, {0.25}, wires)));
  std::vector<double> expected, error;
  for (size_t at = 0; at < vacuum.estimate.value.size(); ++at) {
    expected.push_back(3.5 * vacuum.estimate.value[at]);
    error.push_back(3.5 * vacuum.estimate.error[at]);
  }
  expect_rows(cut, expected, 1e-4, error.data());
}

TEST(FineDielectrics, HalfSpacesOfExtremePermittivityActAsImages) {
  // The vacuum pair {cube, its mirror image in z = 0}: C11 − C12 to a conductor plane,
  // C11 + C12 to an insulating wall.
  const FineResult pair = extract(
      read(cap3d({1}, {}, box("cube", 0, 0, 0.5, 1, 1, 1) + box("image", 0, 0, -1.5, 1, 1, 1))));
  const std::vector<double>& c = pair.estimate.value;
  const double error = pair.estimate.error[0] + pair.estimate.error[1];
  const std::string above = box("cube", 0, 0, 0.5, 1, 1, 1);
  const FineResult ground = extract(read(cap3d({1e4, 1}, {0}, above)));
  expect_rows(ground, {c[0] - c[1]}, 1e-3, &error);
  const FineResult wall = extract(read(cap3d({1, 1e4}, {0}, above)));
  expect_rows(wall, {1e4 * (c[0] + c[1])}, 1e-3, &error);
}

TEST(FineDielectrics, AMasterNetsRowsAreThoseOfTheFullMatrix) {
  std::string wires;
  for (int k = 0; k < 3; ++k) wires += box("w" + std::to_string(k), 1.5 * k, 0, 0, 1, 6, 0.5);
  const FineStructure structure = read(cap3d({2, 5}, {0.25}, wires));
  const FineResult full = extract(structure);
  const FineResult middle = extract(structure, {1});
  std::vector<double> expected(full.estimate.value.begin() + 3, full.estimate.value.begin() + 6);
  std::vector<double> error(full.estimate.error.begin() + 3, full.estimate.error.begin() + 6);
  expect_rows(middle, expected, 0.0, error.data());
  std::ostringstream dspf;
  write_dspf(dspf, structure, middle.rows, middle.estimate.value, 0.0);
  std::istringstream lines(dspf.str());
  std::string star, name;
  double total = 0.0;
  lines >> star >> name >> total;
  EXPECT_EQ("*|NET", star);
  EXPECT_EQ("w1", name);
  EXPECT_NEAR(middle.estimate.value[1] * 1e-18, total, 1e-7 * total);  // micrometres: 1e-18 F
}

TEST(FineDielectrics, ACap3dFileInVacuumGivesThePanelFilesMatrix) {
  std::istringstream in(
      "0 unit cube\n"
      "Q 1  0 0 0  1 0 0  1 1 0  0 1 0\nQ 1  0 0 1  1 0 1  1 1 1  0 1 1\n"
      "Q 1  0 0 0  1 0 0  1 0 1  0 0 1\nQ 1  0 1 0  1 1 0  1 1 1  0 1 1\n"
      "Q 1  0 0 0  0 1 0  0 1 1  0 0 1\nQ 1  1 0 0  1 1 0  1 1 1  1 0 1\n");
  FineStructure panels;
  StructureFormat format;
  ASSERT_EQ("", read_structure(in, "cube", WindowFaces::kOpen, panels, format));
  const FineResult from_panels = extract(panels);
  const FineResult from_cap3d = extract(read(cap3d({1}, {}, kCubeConductor)));
  ASSERT_EQ(1u, from_cap3d.estimate.value.size());
  // The same system in other coordinates rounds otherwise, and its solves stop at 1e-4 of the
  // right-hand side, where the stationary capacitance lies within about 1e-7 of its limit.
  EXPECT_NEAR(from_panels.estimate.value[0], from_cap3d.estimate.value[0],
              1e-7 * from_panels.estimate.value[0]);
}

TEST(FineDielectrics, AFaceWhoseScaleANarrowSlitSetsIsNotCutFinelyThroughout) {
  // A face 100 long beside a slit 0.002 wide: the segments grow from its edges instead of
  // staying 0.006 long (some 16,000 of them); where nothing is narrow, the cuts are as before.
  const std::vector<double> growing = graded_cuts(0, 100, 0.002, 2, 10);
  EXPECT_LT(growing.size(), 100u);
  EXPECT_EQ(0.0, growing.front());
  EXPECT_EQ(100.0, growing.back());
  for (size_t k = 1; k < growing.size(); ++k) {
    EXPECT_GT(growing[k], growing[k - 1]);
    EXPECT_LE(growing[k] - growing[k - 1], 3.0 * 10 / 2 * (1 + 1e-12));
  }
  EXPECT_EQ(graded_cuts(0, 100, 4, 3), graded_cuts(0, 100, 4, 3, 4));
}

TEST(FineDielectrics, GrowingMiddleSegmentsLeaveNoSliverWhereTheirHalvesMeet) {
  // A layout's side 2 long with edge layers 0.4 wide (0.4 as drawn, a unit in the last place
  // below): the two halves met at the middle within rounding, and a panel of no width there
  // made the near coefficients NaN and the factor's search for a positive pivot endless.
  for (int32_t m = 1; m <= 8; ++m) {
    for (double width : {0.39999999999999991, 0.4, 0.1, 0.3, 0.5 / 3}) {
      for (double grown : {0.7, 1.0, 1.3, 2.0}) {
        const std::vector<double> cuts = graded_cuts(8, 10, width, m, grown);
        for (size_t k = 1; k < cuts.size(); ++k) {
          EXPECT_GT(cuts[k] - cuts[k - 1], 1e-6)
              << "m " << m << ", width " << width << ", grown " << grown << ", cut " << k;
        }
      }
    }
  }
}

// A strip of width w = h and thickness w/1000 on a slab of height h over a ground plane (a
// half-space 10⁴ times the slab's permittivity, an image of weight −0.9998), air above: the
// difference of the strip's capacitance at lengths 20 w and 40 w is its capacitance per length,
// the ends cancelling. Hammerstad and Jensen's formula gives 26.3721 pF/m in air and 75.1954 pF/m
// on εr = 3.9 (within 0.2 %; the thickness adds about 0.2 %).
TEST(FineDielectrics, AMicrostripHasTheCapacitancePerLengthOfTheFormula) {
  const double w = 0.5;
  for (const double slab : {1.0, 3.9}) {
    double per_length = 0.0;
    double error = 0.0;
    for (const double length : {20 * w, 40 * w}) {
      const std::string strip = box("strip", -length / 2, -w / 2, w, length, w, w / 1000);
      const FineStructure structure = read(cap3d({1e4 * slab, slab, 1}, {0, w}, strip));
      FineOptions options;
      options.accuracy = 0.001;
      options.threads = 2;
      const FineResult result = extract_fine(structure, options);
      ASSERT_EQ(FineEnd::reached, result.end);
      // µm and aF: aF/µm is pF/m.
      per_length += (length == 20 * w ? -1 : 1) * result.estimate.value[0] / (20 * w);
      error += result.estimate.error[0] / (20 * w);
    }
    const double formula = slab == 1.0 ? 26.3721 : 75.1954;
    EXPECT_NEAR(formula, per_length, error + 0.004 * formula) << "slab " << slab;
  }
}
