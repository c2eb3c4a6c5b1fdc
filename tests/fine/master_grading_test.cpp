// The mesh graded by distance from the master nets: the index against the pairwise rule, and a
// master's row on the graded mesh against the full matrix.
#include "fine/mesh/master_grading.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "fine/mesh/feature_scale.h"
#include "fine/mesh/graded_mesh.h"
#include "fine/program/extraction.h"
#include "structure/space_box.h"

namespace {

TEST(MasterGrading, TheIndexGivesThePairwiseRule) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> at(0.0, 20.0), side(0.2, 3.0);
  std::vector<AxisRect> faces(400);
  std::vector<uint32_t> owner(400);
  for (uint32_t f = 0; f < 400; ++f) {
    const double lo[2] = {at(random), at(random)};
    faces[f] = AxisRect{static_cast<int32_t>(f % 3),
                        at(random),
                        {lo[0], lo[1]},
                        {lo[0] + side(random), lo[1] + side(random)}};
    owner[f] = f % 7 == 6 ? kNoConductor : f % 40;
  }
  const std::vector<double> feature = feature_scales(faces, owner);
  const std::vector<double> graded = master_graded_scales(faces, owner, {3, 17}, 40, feature);
  for (size_t f = 0; f < 400; ++f) {
    double d = owner[f] == 3 || owner[f] == 17 ? 0.0 : INFINITY;  // a master's faces keep theirs
    for (size_t g = 0; g < 400; ++g) {
      if (owner[g] == 3 || owner[g] == 17)
        d = std::min(d, box_gap(space_box(faces[f]), space_box(faces[g])) / kMasterReach);
    }
    for (int32_t k = 0; k < 2; ++k) {
      const double twice = 2.0 * (faces[f].hi[k] - faces[f].lo[k]);
      EXPECT_EQ(std::min(twice, std::max(feature[2 * f + k], d)), graded[2 * f + k]) << f;
    }
  }
}

TEST(MasterGrading, AMastersRowOnTheGradedMeshIsWithinItsEstimateOfTheFullMatrix) {
  std::ostringstream text;  // a 4 × 4 grid of unit cubes 1.5 apart, each face a record
  text << "cubes\n";
  for (int32_t face = 0; face < 96; ++face) {
    const int32_t i = face / 6, axis = face % 3, side = face % 6 / 3;
    text << "Q " << i + 1;
    for (int32_t c = 0; c < 4; ++c) {
      double p[3];
      p[axis] = side;
      p[(axis + 1) % 3] = c == 1 || c == 2;
      p[(axis + 2) % 3] = c >= 2;
      text << ' ' << p[0] + 2.5 * (i % 4) << ' ' << p[1] + 2.5 * (i / 4) << ' ' << p[2];
    }
    text << '\n';
  }
  std::istringstream in(text.str());
  FineStructure structure;
  ASSERT_EQ("", read_fine_structure(in, "cubes", structure));
  FineOptions options;
  options.threads = 2;
  options.accuracy = 0.002;  // the full matrix, five times tighter
  const FineResult full = extract_fine(structure, options);
  options.accuracy = 0.01;
  options.masters = {0};
  const FineResult graded = extract_fine(structure, options);
  ASSERT_TRUE(full.end == FineEnd::reached && graded.end == FineEnd::reached);
  for (int32_t k = 0; k < 16; ++k) {
    EXPECT_NEAR(full.estimate.value[k], graded.estimate.value[k],
                graded.estimate.error[k] + full.estimate.error[k])
        << k;
  }
  for (size_t l = 0; l < std::min(graded.levels.size(), full.levels.size()); ++l)
    EXPECT_LT(graded.levels[l].unknowns, full.levels[l].unknowns) << "level " << l;
}

}  // namespace
