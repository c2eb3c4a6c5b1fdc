// Tiny details of a conductor's own surface (a via enclosed by 5 nm, a 10 nm jog) against their
// smoothed twins and against the full-detail mesh, whose every face is graded down to them.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "fine/estimate/convergence.h"
#include "fine/mesh/feature_scale.h"
#include "fine/program/extraction.h"
#include "structure/union_surface.h"

namespace {

/// A box in micrometres and its conductor.
struct Block {
  double lo[3], hi[3];  // corners
  uint32_t conductor;   // from 0
};

/// Each conductor's outer surface, the union of its blocks, as its panels.
FineStructure structure_of(const std::vector<Block>& blocks, uint32_t conductors) {
  FineStructure s;
  for (uint32_t c = 0; c < conductors; ++c) {
    std::vector<SolidBox> boxes;
    for (const Block& b : blocks) {
      if (b.conductor != c) continue;
      SolidBox box;
      for (int k = 0; k < 3; ++k) {
        box.lo[k] = std::llround(b.lo[k] * kFemtometresPerMicrometre);
        box.hi[k] = std::llround(b.hi[k] * kFemtometresPerMicrometre);
      }
      boxes.push_back(box);
    }
    FineConductor conductor;
    conductor.label = std::to_string(c + 1);
    conductor.first_panel = static_cast<uint32_t>(s.panels.size());
    for (const SurfaceRect& r : union_surface(boxes)) {
      AxisRect rect;
      rect.axis = r.axis;
      rect.plane = static_cast<double>(r.level) / kFemtometresPerMicrometre;
      for (int k = 0; k < 2; ++k) {
        rect.lo[k] = static_cast<double>(r.lo[k]) / kFemtometresPerMicrometre;
        rect.hi[k] = static_cast<double>(r.hi[k]) / kFemtometresPerMicrometre;
      }
      s.panels.push_back(rect);
      s.conductor_of_panel.push_back(c);
    }
    conductor.panel_count = static_cast<uint32_t>(s.panels.size()) - conductor.first_panel;
    s.conductors.push_back(conductor);
  }
  return s;
}

/// A wire on one metal, a via up to a crossing wire, enclosed by `e` on both metals; a
/// neighbouring wire and a ground plate below.
FineStructure via(double e) {
  return structure_of({{{0.6, 0, 0}, {1.4, 0.2, 0.2}, 0},
                       {{0.9 + e, e, 0.2}, {1.1 - e, 0.2 - e, 0.4}, 0},
                       {{0.9, -0.3, 0.4}, {1.1, 0.5, 0.6}, 0},
                       {{0.6, 0.4, 0}, {1.4, 0.6, 0.2}, 1},
                       {{0.3, -0.5, -0.5}, {1.7, 0.9, -0.3}, 2}},
                      3);
}

/// A wire whose second half is moved sideways by `e`, a neighbour and a ground plate.
FineStructure jog(double e) {
  return structure_of({{{0, 0, 0}, {0.6, 0.5, 0.2}, 0},
                       {{0.6, e, 0}, {1.2, 0.5 + e, 0.2}, 0},
                       {{0, 1.5, 0}, {1.2, 2, 0.2}, 1},
                       {{-0.3, -0.3, -0.5}, {1.5, 2.3, -0.3}, 2}},
                      3);
}

FineResult extract(const FineStructure& s) {  // at the default accuracy, 1 %
  FineOptions options;
  options.threads = 2;
  const FineResult result = extract_fine(s, options);
  EXPECT_EQ(FineEnd::reached, result.end);
  return result;
}

/// Levels 1 .. 3 of the mesh graded down to every detail (no face of the own conductor left
/// out), and their estimate.
ConvergenceEstimate full_detail(const FineStructure& s) {
  const std::vector<double> feature = feature_scales(s, 0.0);
  const LevelSettings settings = level_settings_for(0.01, 2, best_instruction_set());
  std::vector<int32_t> levels;
  std::vector<std::vector<double>> matrices;
  LevelResult previous;
  for (int32_t m : {1, 2, 3}) {
    LevelResult level = solve_level(s, feature, m, settings, levels.empty() ? nullptr : &previous);
    levels.push_back(m);
    matrices.push_back(level.capacitance);
    previous = std::move(level);
  }
  return estimate_convergence(levels, matrices, 3, 3e-6);
}

/// The detailed and the smoothed structure: the same capacitances within 1 % of each entry (the
/// detail moves them less), and at most twice the unknowns at the first level.
void expect_like_smoothed(const FineResult& detailed, const FineResult& smoothed) {
  EXPECT_LE(detailed.levels[0].unknowns, 2 * smoothed.levels[0].unknowns);
  for (size_t k = 0; k < 9; ++k) {
    EXPECT_NEAR(detailed.estimate.value[k], smoothed.estimate.value[k],
                0.01 * std::fabs(smoothed.estimate.value[k]))
        << "entry " << k;
  }
}

/// Each entry of the run within its estimate, together with the full-detail estimate, of the
/// full-detail value.
void expect_honest(const FineResult& run, const ConvergenceEstimate& full) {
  for (size_t k = 0; k < 9; ++k) {
    EXPECT_NEAR(run.estimate.value[k], full.value[k], run.estimate.error[k] + full.error[k])
        << "entry " << k;
  }
}

}  // namespace

TEST(TinyFeatures, AViaEnclosedBy5nmCostsWhatTheFlushViaCostsWithinTheEstimate) {
  const FineStructure enclosed = via(0.005);
  const FineResult detailed = extract(enclosed);
  expect_like_smoothed(detailed, extract(via(0.0)));
  expect_honest(detailed, full_detail(enclosed));
}

TEST(TinyFeatures, A10nmJogCostsWhatTheStraightWireCostsWithinTheEstimate) {
  const FineStructure jogged = jog(0.01);
  const FineResult detailed = extract(jogged);
  expect_like_smoothed(detailed, extract(jog(0.0)));
  expect_honest(detailed, full_detail(jogged));
}

// A thin conductor is meshed by its width, not its thickness: a square plate a thousandth as
// thick as wide costs what one a tenth as thick costs, and its capacitance lies between the
// infinitely thin plate's (0.3667 · 4πε0 a or a little above, as published) and the thicker
// plate's, since a conductor holding another has the larger capacitance.
TEST(TinyFeatures, AThinPlateCostsLittleAndLiesBetweenTheInfinitelyThinAndTheThickerPlate) {
  const FineResult thin = extract(structure_of({{{0, 0, 0}, {1, 1, 0.001}, 0}}, 1));
  const FineResult thicker = extract(structure_of({{{0, 0, 0}, {1, 1, 0.01}, 0}}, 1));
  const FineResult tenth = extract(structure_of({{{0, 0, 0}, {1, 1, 0.1}, 0}}, 1));
  EXPECT_LE(thin.levels.back().unknowns, tenth.levels.back().unknowns);
  const double infinitely_thin = 0.3667 * 4 * M_PI * 8.85;  // pF per unit of length
  EXPECT_GE(thin.estimate.value[0] + thin.estimate.error[0], infinitely_thin);
  EXPECT_LE(thin.estimate.value[0] - thin.estimate.error[0],
            thicker.estimate.value[0] + thicker.estimate.error[0]);
  // A strip of the same thinness, 30 times as long as wide over a ground plate (graded by its
  // thickness, its faces had millions of panels).
  const FineResult strip =
      extract(structure_of({{{0, 0, 1}, {30, 1, 1.001}, 0}, {{-3, -3, -0.2}, {33, 4, 0}, 1}}, 2));
  EXPECT_LT(strip.levels[0].unknowns, 1000);
}
