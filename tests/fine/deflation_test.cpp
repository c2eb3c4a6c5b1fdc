// The coarse space deflated from a level's conjugate gradients, on the 4 x 4 crossing bus: it
// must cut the steps of the solves, leave the capacitance where the plain solves of the same
// system put it, and give the same bits on every instruction-set path and thread count.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "example_structure.h"
#include "fine/mesh/feature_scale.h"
#include "fine/program/extraction.h"
#include "fine/solve/solve_level.h"

namespace {

/// Level 3 of the bus from level 2, both with the coarse space of `panels` (0: none).
LevelResult third_level(int32_t panels, int32_t threads, InstructionSet set) {
  const FineStructure structure = example_structure("bus4x4.txt");
  const std::vector<double> feature = feature_scales(structure);
  LevelSettings settings = level_settings_for(0.01, threads, set);
  settings.coarse_panels = panels;
  settings.stationary_tolerance = settings.tolerance;  // both solves to 1e-8, compared below
  const LevelResult below = solve_level(structure, feature, 2, settings, nullptr);
  return solve_level(structure, feature, 3, settings, &below);
}

}  // namespace

TEST(CoarseSpace, DeflationCutsTheStepsOfTheBusAndKeepsItsCapacitance) {
  const LevelResult plain = third_level(0, 2, best_instruction_set());
  const LevelResult deflated = third_level(16, 2, best_instruction_set());
  ASSERT_TRUE(plain.converged && deflated.converged);
  const int64_t solves = 8;  // one per conductor
  EXPECT_LE(deflated.iterations, 20 * solves);
  EXPECT_LT(deflated.iterations, plain.iterations * 4 / 5);
  // Both solve one system to 1e-8 of the right-hand side; the capacitance sees the error squared.
  for (size_t at = 0; at < plain.capacitance.size(); ++at) {
    const double diagonal = std::fabs(plain.capacitance[at / solves * (solves + 1)]);
    EXPECT_NEAR(plain.capacitance[at], deflated.capacitance[at], 1e-9 * diagonal) << at;
  }
}

TEST(CoarseSpace, TheDeflatedSolvesAreTheSameOnEveryPathAndThreadCount) {
  const LevelResult reference = third_level(16, 1, InstructionSet::sse2);
  for (InstructionSet set : {InstructionSet::sse2, InstructionSet::avx2, InstructionSet::avx512}) {
    if (!processor_has(set)) continue;
    const LevelResult other = third_level(16, 2, set);
    EXPECT_EQ(reference.iterations, other.iterations) << instruction_set_name(set);
    EXPECT_EQ(reference.capacitance, other.capacitance) << instruction_set_name(set);
  }
}
