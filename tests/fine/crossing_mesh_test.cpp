// The middles of faces in a layer stack, sized by the faces that begin or end near them: the
// number of segments against the integral of 1 / s worked out by hand, the segment over a
// crossing, mirror images, and a pair of crossing wires in a stack that converges as in vacuum.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "dielectric_cases.h"
#include "fine/mesh/feature_scale.h"
#include "fine/mesh/graded_mesh.h"
#include "fine/mesh/middle_grading.h"
#include "fine/mesh/sized_middle.h"
#include "fine/mesh/whole_faces.h"
#include "rectangle_pairs.h"

namespace {

/// The length of the segment of `cuts` (inside [lo, hi]) that holds x.
double segment_at(const std::vector<double>& cuts, double lo, double hi, double x) {
  std::vector<double> all{lo};
  all.insert(all.end(), cuts.begin(), cuts.end());
  all.push_back(hi);
  for (size_t i = 0; i + 1 < all.size(); ++i)
    if (all[i] <= x && x <= all[i + 1]) return all[i + 1] - all[i];
  return -1;
}

}  // namespace

TEST(CrossingMesh, TheSegmentsNumberTheIntegralOfTheirInverseLengthRoundedUp) {
  // s = min(3 + x, 3 + 60 - x) / m: the integral of m / s is 2 m ln(33 / 3).
  for (int32_t m : {1, 2, 5}) {
    const std::vector<double> cuts = sized_middle_cuts(0, 60, 1, 100, {}, m);
    EXPECT_EQ(cuts.size() + 1, static_cast<size_t>(std::ceil(2 * m * std::log(11.0))));
    EXPECT_TRUE(std::is_sorted(cuts.begin(), cuts.end()));
  }
  // Capped at 3 W = 6: 2 m ln 2 on the rises, m 94 / 6 between them.
  const std::vector<double> capped = sized_middle_cuts(0, 100, 1, 2, {}, 1);
  EXPECT_EQ(capped.size() + 1, static_cast<size_t>(std::ceil(2 * std::log(2.0) + 94.0 / 6)));
  EXPECT_NEAR(segment_at(capped, 0, 100, 50), 100 / std::ceil(2 * std::log(2.0) + 94.0 / 6), 0.2);
}

TEST(CrossingMesh, AFaceEndingCloseAboveAMiddleCutsItFinelyThereOnly) {
  // A source of gap 0.1 at 30: the bounds 3 + x and 0.3 + 30 - x meet at 13.65, where both are
  // 16.65; the integral is 2 m (ln(16.65 / 3) + ln(16.65 / 0.3)).
  const int32_t m = 4;
  const std::vector<GradingSource> crossing{{30, 0.1}};
  const std::vector<double> cuts = sized_middle_cuts(0, 60, 1, 100, crossing, m);
  const double integral = 2 * m * (std::log(16.65 / 3) + std::log(16.65 / 0.3));
  EXPECT_EQ(cuts.size() + 1, static_cast<size_t>(std::ceil(integral)));
  // A segment of length L over the source has s ≤ (0.3 + L) / m, so L m / (0.3 + L) ≤ 1.
  EXPECT_LE(segment_at(cuts, 0, 60, 30), 0.3 / (m - 1) + 1e-12);
  EXPECT_GT(segment_at(cuts, 0, 60, 12), 10 * segment_at(cuts, 0, 60, 30));
  // The mirror image is cut alike.
  const std::vector<GradingSource> other{{60 - 30, 0.1}, {60 - 45, 0.5}};
  const std::vector<double> a = sized_middle_cuts(0, 60, 1, 100, {{30, 0.1}, {45, 0.5}}, m);
  const std::vector<double> b = sized_middle_cuts(0, 60, 1, 100, other, m);
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(a[i], 60 - b[b.size() - 1 - i], 1e-12);
}

TEST(CrossingMesh, WiresCrossingOverAGroundPlaneInAStackOfOnePermittivityGiveTheUniformMatrix) {
  // Two wires crossing above a ground plane, under layers of one permittivity but for a part in
  // a million: the stack's mesh (cut at its boundaries, middles grown from the edges) must give
  // eps times the vacuum matrix, as the uniform medium's mesh does, within both estimates.
  const std::string body = box("GROUND", -12, -12, -3, 24, 24, 2.5) +
                           box("a", -10, -0.25, 0, 20, 0.5, 0.3) +
                           box("b", -1, -10, 0.7, 2, 20, 0.3);
  const FineResult uniform = extract(read(cap3d({4, 4, 4}, {0.5, 2}, body)));
  const FineResult stack = extract(read(cap3d({4, 4.000004, 4}, {0.5, 2}, body)));
  expect_rows(stack, uniform.estimate.value, 1e-5, uniform.estimate.error.data());
  // Its levels converge as the uniform medium's do: by level 3 every change is below 2 %.
  ASSERT_GE(stack.levels.size(), 3u);
  EXPECT_LT(stack.levels[2].largest_change, 0.02);
}

TEST(CrossingMesh, TheStripsOfASideAreOneWholeFaceAndShareItsCuts) {
  // A y-normal side at y = 0 (extents z, then x) cut at z = 0.3 and 0.5 into three strips, the
  // same side of another conductor, and a strip of the first that does not meet the others.
  auto side = [](double z0, double z1) {
    AxisRect r;
    r.axis = 1;
    r.lo[0] = z0;
    r.hi[0] = z1;
    r.lo[1] = 0;
    r.hi[1] = 10;
    return r;
  };
  const std::vector<AxisRect> faces{side(0.5, 1), side(0, 0.3), side(0.3, 0.5), side(0, 1),
                                    side(2, 3)};
  const WholeFaces whole = whole_faces(faces, {0, 0, 0, 1, 0});
  EXPECT_EQ(whole.whole_of[0], whole.whole_of[1]);
  EXPECT_EQ(whole.whole_of[0], whole.whole_of[2]);
  EXPECT_NE(whole.whole_of[0], whole.whole_of[3]);
  EXPECT_NE(whole.whole_of[0], whole.whole_of[4]);
  const AxisRect& joined = whole.rect[whole.whole_of[0]];
  EXPECT_EQ(0.0, joined.lo[0]);
  EXPECT_EQ(1.0, joined.hi[0]);
  // The whole's cuts inside the strip [0.3, 0.5]: 0.31 is a tenth of its segment from the
  // strip's end and is dropped, 0.45 is a quarter of the next segment and stays.
  const std::vector<double> expected{0.3, 0.4, 0.45, 0.5};
  EXPECT_EQ(expected, strip_cuts({0, 0.2, 0.31, 0.4, 0.45, 0.6, 1}, 0.3, 0.5));
}

TEST(CrossingMesh, EachStripTakesTheCutsOfItsWholeSideAtItsOwnFeatureScale) {
  // One side cut into four strips at z = 0.3, 0.5 and 0.8, and a face of another conductor
  // above it as a source. The first, second and fourth strips have the side's feature scale;
  // the third another one (as the grading around master nets may give it), so that the
  // strips after it must not reuse its cuts, nor it theirs.
  auto face = [](double z0, double z1, double x0, double x1, double plane) {
    return rect(1, plane, z0, x0, z1, x1);
  };
  FineStructure s;
  s.panels = {face(0, 0.3, 0, 40, 0), face(0.3, 0.5, 0, 40, 0), face(0.5, 0.8, 0, 40, 0),
              face(0.8, 1.0, 0, 40, 0), face(0, 1, 18, 19, 0.2)};
  s.conductor_of_panel = {0, 0, 0, 0, 1};
  const MiddleGrading middle = middle_grading(s.panels, s.conductor_of_panel);
  ASSERT_EQ(middle.whole.whole_of[0], middle.whole.whole_of[3]);
  const uint32_t w = middle.whole.whole_of[0];
  std::vector<double> feature{0.1, 0.25, 0.1, 0.25, 0.05, 2.0, 0.1, 0.25, 0.5, 0.5};
  for (int32_t m : {1, 3}) {
    const LevelMesh mesh = make_level_mesh(s, feature, m, &middle);
    for (size_t f = 0; f < 4; ++f) {
      for (int k = 0; k < 2; ++k) {
        const AxisRect& whole = middle.whole.rect[w];
        const std::vector<double> cuts =
            graded_cuts(whole.lo[k], whole.hi[k], feature[2 * f + k], m, middle.scale[2 * w + k],
                        &middle.sources[2 * w + k]);
        const bool full = whole.lo[k] == s.panels[f].lo[k] && whole.hi[k] == s.panels[f].hi[k];
        EXPECT_EQ(full ? cuts : strip_cuts(cuts, s.panels[f].lo[k], s.panels[f].hi[k]),
                  mesh.cuts[k][f])
            << "strip " << f << ", extent " << k << ", level " << m;
      }
    }
    // The third strip's own scale along x (2.0 of 40) cuts x into fewer segments than the
    // side's 0.25 does.
    EXPECT_LT(mesh.cuts[1][2].size(), mesh.cuts[1][3].size());
  }
}
