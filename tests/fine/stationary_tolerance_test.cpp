// The solves of every conductor stop at a looser residual than the tolerance, since their
// capacitance is stationary in the solves' errors: on the 4 x 4 crossing bus the looser stop must
// leave the capacitance far inside the estimate's floor for a level's own error, measured against
// the same level solved until its residual can fall no further, and must take fewer steps.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "example_structure.h"
#include "fine/mesh/feature_scale.h"
#include "fine/program/extraction.h"
#include "fine/program/kernel_floor.h"
#include "fine/solve/solve_level.h"

namespace {

/// The largest change between two matrices of `n` conductors, relative to the geometric mean of
/// the diagonal entries of the entry's row and column.
double largest_relative_change(const std::vector<double>& a, const std::vector<double>& b,
                               size_t n) {
  double largest = 0.0;
  for (size_t j = 0; j < n; ++j) {
    for (size_t k = 0; k < n; ++k) {
      const double scale = std::sqrt(a[j * n + j] * a[k * n + k]);
      largest = std::max(largest, std::fabs(a[j * n + k] - b[j * n + k]) / scale);
    }
  }
  return largest;
}

/// Level 3 of the bus from level 2 under the settings of `accuracy`, its stationary solves
/// stopped at `stop` (0: the settings' own stop).
LevelResult third_level(double accuracy, double stop) {
  const FineStructure structure = example_structure("bus4x4.txt");
  const std::vector<double> feature = feature_scales(structure);
  LevelSettings settings = level_settings_for(accuracy, 2, best_instruction_set());
  if (stop > 0.0) settings.stationary_tolerance = stop;
  const LevelResult below = solve_level(structure, feature, 2, settings, nullptr);
  return solve_level(structure, feature, 3, settings, &below);
}

}  // namespace

TEST(StationaryTolerance, TheLooserStopMovesTheCapacitanceFarInsideTheLevelsFloor) {
  for (double accuracy : {0.01, 0.001}) {
    const LevelResult stopped = third_level(accuracy, 0.0);
    // The residual of a solve in double precision goes no further than about 1e-13 of b here.
    const LevelResult converged = third_level(accuracy, 1e-12);
    ASSERT_TRUE(stopped.converged && converged.converged) << accuracy;
    const double floor = level_floor(level_settings_for(accuracy, 1, InstructionSet::sse2));
    const size_t n = 8;
    ASSERT_EQ(n * n, stopped.capacitance.size());
    EXPECT_LE(largest_relative_change(stopped.capacitance, converged.capacitance, n), 0.1 * floor)
        << accuracy;
    EXPECT_LT(stopped.iterations, converged.iterations) << accuracy;
  }
}

TEST(StationaryTolerance, TheLooserStopTakesAQuarterFewerStepsThanTheTolerance) {
  // At 1 % the solves iterate about five steps per decade of residual: stopping four decades
  // earlier than 1e-8 saves about twenty of some forty steps a solve.
  const LevelResult stopped = third_level(0.01, 0.0);
  const LevelResult tight =
      third_level(0.01, level_settings_for(0.01, 1, InstructionSet::sse2).tolerance);
  ASSERT_TRUE(stopped.converged && tight.converged);
  EXPECT_LE(stopped.iterations, tight.iterations * 3 / 4);
}
