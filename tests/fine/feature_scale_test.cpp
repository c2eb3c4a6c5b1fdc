// The feature scales of every face, found through the face hierarchy, against their definition
// taken pair by pair.
#include "fine/mesh/feature_scale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "rectangle_pairs.h"
#include "structure/space_box.h"

namespace {

/// The six faces of the box [lo, hi] as panels of one conductor.
void add_box(FineStructure& s, const double lo[3], const double hi[3], uint32_t conductor) {
  for (int32_t axis = 0; axis < 3; ++axis) {
    const int32_t u = (axis + 1) % 3, v = (axis + 2) % 3;
    for (double plane : {lo[axis], hi[axis]}) {
      AxisRect r;
      r.axis = axis;
      r.plane = plane;
      r.lo[0] = lo[u];
      r.hi[0] = hi[u];
      r.lo[1] = lo[v];
      r.hi[1] = hi[v];
      s.panels.push_back(r);
      s.conductor_of_panel.push_back(conductor);
    }
  }
}

/// Boxes on a coarse grid, so that many faces touch, share planes or lie a grid step apart.
FineStructure random_boxes(uint32_t seed, int32_t count) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int32_t> corner(0, 40), size(1, 6);
  FineStructure s;
  for (int32_t b = 0; b < count; ++b) {
    double lo[3], hi[3];
    for (int32_t k = 0; k < 3; ++k) {
      lo[k] = 0.25 * corner(random);
      hi[k] = lo[k] + 0.25 * size(random);
    }
    add_box(s, lo, hi, static_cast<uint32_t>(b % 5));  // boxes of one conductor may be apart
  }
  return s;
}

/// The definition, face against face: along each extent its length, or the nearest face apart
/// from it where nearer; a face of the same conductor only from a quarter of the shorter side.
std::vector<double> scales_pair_by_pair(const FineStructure& s) {
  std::vector<double> scale;
  for (size_t f = 0; f < s.panels.size(); ++f) {
    const AxisRect& r = s.panels[f];
    const double a = r.hi[0] - r.lo[0], b = r.hi[1] - r.lo[1];
    double nearest = std::max(a, b);
    for (size_t g = 0; g < s.panels.size(); ++g) {
      const double gap = box_gap(space_box(r), space_box(s.panels[g]));
      const bool own = s.conductor_of_panel[g] == s.conductor_of_panel[f];
      if (gap > 0.0 && (!own || gap >= 0.25 * std::min(a, b))) nearest = std::min(nearest, gap);
    }
    scale.push_back(std::min(a, nearest));
    scale.push_back(std::min(b, nearest));
  }
  return scale;
}

}  // namespace

TEST(FeatureScale, TheHierarchyGivesThePairwiseScalesToTheBit) {
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    const FineStructure s = random_boxes(seed, 5 + 12 * static_cast<int32_t>(seed));
    const std::vector<double> expected = scales_pair_by_pair(s);
    const std::vector<double> found = feature_scales(s);
    ASSERT_EQ(expected.size(), found.size());
    for (size_t f = 0; f < found.size(); ++f)
      ASSERT_EQ(expected[f], found[f]) << "seed " << seed << ", face " << f;
  }
}

// A ledge 0.002 wide and 100 long (z-normal, x across, y along) of conductor 0, beside the step
// of its own conductor that runs past both its ends: the step sets the edge layers (the
// distance hypot(0.002, 0.03)) but not the middle, which grows to the ledge's length; a face of
// another conductor that ends in the middle sets it to its distance; one whose end lies within
// its distance of the ledge's end, and one nearer than the ledge's width, do not.
TEST(FeatureScale, TheMiddleOfALedgeIsSetOnlyByEndsWellInsideIt) {
  const AxisRect ledge = rect(2, 1.0, 0.0, 0.0, 0.002, 100.0);
  const AxisRect step = rect(0, 0.004, -1.0, 1.03, 101.0, 1.06);  // (y, z) extents
  std::vector<AxisRect> faces = {ledge, step};
  std::vector<uint32_t> owner = {0, 0};
  std::vector<double> middle = middle_scales(faces, owner);
  std::vector<double> feature = feature_scales(faces, owner);
  EXPECT_NEAR(feature[1], std::hypot(0.002, 0.03), 1e-15);
  EXPECT_EQ(middle[0], 0.002);  // across: its width
  EXPECT_EQ(middle[1], 100.0);  // along: nothing ends inside it
  // Another conductor's strip 0.5 above, from y = 99.9 on: its end is the ledge's end's.
  faces.push_back(rect(2, 1.5, 0.0, 99.9, 0.002, 200.0));
  owner.push_back(1);
  EXPECT_EQ(middle_scales(faces, owner)[1], 100.0);
  // One 2 above that ends at y = 50.
  faces.push_back(rect(2, 3.0, 0.0, 50.0, 0.002, 200.0));
  owner.push_back(1);
  EXPECT_EQ(middle_scales(faces, owner)[1], 2.0);
  // One 0.001 beside it that ends at y = 30: never below the ledge's width.
  faces.push_back(rect(2, 1.0, 0.003, 30.0, 0.004, 200.0));
  owner.push_back(1);
  EXPECT_EQ(middle_scales(faces, owner)[1], 0.002);
}

// The middle scales through the hierarchy against their definition face by face: per extent, the
// nearest counted face apart with an end farther than its gap from both ends, at least the
// shorter side, at most the extent.
TEST(FeatureScale, TheHierarchyGivesThePairwiseMiddleScalesToTheBit) {
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    const FineStructure s = random_boxes(seed, 5 + 12 * static_cast<int32_t>(seed));
    const std::vector<double> found = middle_scales(s.panels, s.conductor_of_panel);
    for (size_t f = 0; f < s.panels.size(); ++f) {
      const AxisRect& r = s.panels[f];
      const double shorter = std::min(r.hi[0] - r.lo[0], r.hi[1] - r.lo[1]);
      for (int32_t k = 0; k < 2; ++k) {
        double nearest = std::max(r.hi[0] - r.lo[0], r.hi[1] - r.lo[1]);
        for (size_t g = 0; g < s.panels.size(); ++g) {
          const SpaceBox other = space_box(s.panels[g]);
          const double gap = box_gap(space_box(r), other);
          const bool own = s.conductor_of_panel[g] == s.conductor_of_panel[f];
          const int32_t axis = (r.axis + 1 + k) % 3;
          bool inside = false;
          for (double end : {other.lo[axis], other.hi[axis]})
            inside = inside || (end > r.lo[k] + gap && end < r.hi[k] - gap);
          if (gap > 0.0 && inside && (!own || gap >= 0.25 * shorter))
            nearest = std::min(nearest, gap);
        }
        const double expected = std::max(std::min(r.hi[k] - r.lo[k], nearest), shorter);
        ASSERT_EQ(expected, found[2 * f + k]) << "seed " << seed << ", face " << f << ", " << k;
      }
    }
  }
}
