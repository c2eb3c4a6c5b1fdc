// The mesh graded by distance from the master nets: the index against the pairwise definition,
// the cuts of a face far from every master by hand, and a master's row from the graded mesh
// against the full computation, within the graded run's estimate.
#include "fine/mesh/master_grading.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>

#include "fine/mesh/feature_scale.h"
#include "fine/mesh/graded_mesh.h"
#include "fine/program/extraction.h"
#include "structure/space_box.h"

namespace {

TEST(MasterGrading, FarExtentsTakeCubicGradingWithHalfTheSegments) {
  // g(1/3) = 4/27 by hand; m = 4 is the two edge layers of width 1/2 at m = 2: 0, 1/16, 1/2.
  const std::vector<double> three = whole_extent_cuts(0.0, 1.0, 3);
  ASSERT_EQ(4u, three.size());
  EXPECT_DOUBLE_EQ(4.0 / 27.0, three[1]);
  EXPECT_DOUBLE_EQ(1.0 - 4.0 / 27.0, three[2]);
  EXPECT_EQ(std::vector<double>({2.0, 2.25, 4.0, 5.75, 6.0}), whole_extent_cuts(2.0, 6.0, 4));
  EXPECT_EQ(whole_extent_cuts(2.0, 6.0, 5), graded_cuts(2.0, 6.0, 8.0, 5));
  EXPECT_EQ(10u, graded_cuts(2.0, 6.0, 7.9, 5).size() - 1);  // below 2 L: the edge layers
}

TEST(MasterGrading, TheIndexGivesThePairwiseRule) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> at(0.0, 20.0), side(0.2, 3.0);
  std::vector<AxisRect> faces(400);
  std::vector<uint32_t> owner(400);
  for (size_t f = 0; f < faces.size(); ++f) {
    AxisRect& r = faces[f];
    r.axis = static_cast<int32_t>(f % 3);
    r.plane = at(random);
    r.lo[0] = at(random);
    r.lo[1] = at(random);
    r.hi[0] = r.lo[0] + side(random);
    r.hi[1] = r.lo[1] + side(random);
    owner[f] = f % 7 == 6 ? kNoConductor : static_cast<uint32_t>(f % 40);
  }
  const std::vector<int32_t> masters = {3, 17};
  const std::vector<double> feature = feature_scales(faces, owner);
  const std::vector<double> graded = master_graded_scales(faces, owner, masters, 40, feature);
  for (size_t f = 0; f < faces.size(); ++f) {
    const bool master = owner[f] == 3 || owner[f] == 17;
    double d = INFINITY;
    for (size_t g = 0; g < faces.size(); ++g) {
      if (owner[g] == 3 || owner[g] == 17)
        d = std::min(d, box_gap(space_box(faces[f]), space_box(faces[g])));
    }
    for (int32_t k = 0; k < 2; ++k) {
      const double length = faces[f].hi[k] - faces[f].lo[k];
      const double expected =
          master ? feature[2 * f + k]
                 : std::min(2.0 * length, std::max(feature[2 * f + k], d / kMasterReach));
      EXPECT_EQ(expected, graded[2 * f + k]) << "face " << f;
    }
  }
  EXPECT_EQ(feature, master_graded_scales(faces, owner, {}, 40, feature));
}

/// Six faces of the box [x, x + a] × [y, y + a] × [0, a] as records of conductor `label`.
std::string cube(double x, double y, double a, int32_t label) {
  const double lo[3] = {x, y, 0.0}, hi[3] = {x + a, y + a, a};
  std::ostringstream out;
  for (int32_t axis = 0; axis < 3; ++axis) {
    const int32_t u = (axis + 1) % 3, v = (axis + 2) % 3;
    for (double plane : {lo[axis], hi[axis]}) {
      out << "Q " << label;
      const double corner[4][2] = {{lo[u], lo[v]}, {hi[u], lo[v]}, {hi[u], hi[v]}, {lo[u], hi[v]}};
      for (const auto& c : corner) {
        double p[3];
        p[axis] = plane;
        p[u] = c[0];
        p[v] = c[1];
        out << ' ' << p[0] << ' ' << p[1] << ' ' << p[2];
      }
      out << '\n';
    }
  }
  return out.str();
}

TEST(MasterGrading, AMastersRowFromTheGradedMeshIsWithinItsEstimateOfTheFullOne) {
  // A 4 × 4 grid of unit cubes 1.5 apart; the master is a corner cube.
  std::string text = "cubes\n";
  for (int32_t i = 0; i < 16; ++i) text += cube(2.5 * (i % 4), 2.5 * (i / 4), 1.0, i + 1);
  std::istringstream in(text);
  FineStructure structure;
  ASSERT_EQ("", read_fine_structure(in, "cubes", structure));
  FineOptions options;
  options.threads = 2;
  options.accuracy = 0.002;  // the full matrix, five times tighter
  const FineResult full = extract_fine(structure, options);
  options.accuracy = 0.01;
  options.masters = {0};
  const FineResult graded = extract_fine(structure, options);
  ASSERT_EQ(FineEnd::reached, graded.end);
  ASSERT_EQ(FineEnd::reached, full.end);
  for (int32_t k = 0; k < 16; ++k) {
    const double allowed = graded.estimate.error[k] + full.estimate.error[k];
    EXPECT_NEAR(full.estimate.value[k], graded.estimate.value[k], allowed) << "column " << k;
  }
  // Fewer unknowns at each level than the full mesh of that level: the far cubes' faces.
  for (size_t l = 0; l < graded.levels.size() && l < full.levels.size(); ++l)
    EXPECT_LT(graded.levels[l].unknowns, full.levels[l].unknowns) << "level " << l;
}

}  // namespace
