// Two dielectric blocks that miss touching by 1e-4 of their size, one 1e-4 off a conductor: the
// films change the rows by about 1e-4, so the touching twin is the reference, and the mesh must
// not resolve them (graded down to them, level 1 had a hundred times the twin's panels).
#include <gtest/gtest.h>

#include <algorithm>

#include "dielectric_cases.h"
#include "fine/mesh/feature_scale.h"
#include "fine/mesh/graded_mesh.h"
#include "fine/mesh/solve_faces.h"

namespace {

/// Two unit cubes with blocks of εr 4 and 7 between them, each `gap` beyond what lies before it.
FineStructure blocks_between(double gap) {
  const std::string body = box("a", 0, 0, 0, 1, 1, 1) + box("b", 3, 0, 0, 1, 1, 1) +
                           box("A", 1 + gap, 0, 0, 1 - gap, 1, 1, 4.0) +
                           box("B", 2 + gap, 0, 0, 1 - gap, 1, 1, 7.0);
  return read(cap3d({1.0}, {}, body));
}

/// The panels of level 1 as the extraction meshes a structure in a medium.
size_t level1_panels(const FineStructure& structure) {
  SolveFaces faces = solve_faces(structure, 1.0);
  for (uint32_t& c : faces.structure.conductor_of_panel)
    if (c == faces.no_conductor) c = kNoConductor;
  const MiddleGrading middle =
      middle_grading(faces.structure.panels, faces.structure.conductor_of_panel);
  return make_level_mesh(faces.structure, whole_feature_scales(middle), 1, &middle).panels.size();
}

}  // namespace

TEST(TinyGap, BlocksThatMissTouchingByATinyGapGiveTheTouchingRowsAtAboutItsCost) {
  const FineStructure touching = blocks_between(0.0), apart = blocks_between(1e-4);
  ASSERT_LE(level1_panels(apart), 2 * level1_panels(touching));
  const FineResult reference = extract(touching), result = extract(apart);
  for (size_t k = 0; k < std::min(reference.levels.size(), result.levels.size()); ++k)
    EXPECT_LE(result.levels[k].unknowns, 2 * reference.levels[k].unknowns) << k;
  // Within both estimates and the films' own 1e-4 (a margin of 1e-3).
  expect_rows(result, reference.estimate.value, 1e-3, reference.estimate.error.data());
}
