// The conductors' solves share one queue among the threads' lane groups, each lane taking the
// next conductor when its last is done, and the products P x are made by whichever thread is
// free. Each lane's arithmetic is its own, so every conductor's solution and product must be the
// bits of the plain solve of a fixed group of eight (solve_lanes), whatever the threads.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

#include "example_structure.h"
#include "fine/clusters/cluster_tree.h"
#include "fine/clusters/interaction_lists.h"
#include "fine/mesh/feature_scale.h"
#include "fine/program/extraction.h"
#include "fine/solve/conductor_solves.h"
#include "fine/solve/symmetric_level.h"

namespace {

/// Eleven cubes of different sizes in a row: more conductors than a lane group holds, solves of
/// different lengths.
FineStructure row_of_cubes() {
  std::ostringstream file;
  file << "eleven cubes\n";
  for (int c = 0; c < 11; ++c) {
    const double lo[3] = {1.6 * c, 0.0, 0.0};
    const double hi[3] = {lo[0] + 1.0, 1.0 + 0.1 * c, 1.0 + 0.05 * (c % 3)};
    write_box_panels(file, std::to_string(c + 1), lo, hi);
  }
  return structure_from_text(file.str(), "cubes.txt");
}

}  // namespace

TEST(QueuedSolves, EveryConductorGetsTheBitsOfItsFixedGroupWhateverTheThreads) {
  const FineStructure structure = row_of_cubes();
  const int32_t conductors = static_cast<int32_t>(structure.conductors.size());
  ASSERT_EQ(11, conductors);
  const std::vector<double> feature = feature_scales(structure);
  LevelSettings settings = level_settings_for(0.01, 1, best_instruction_set());
  const LevelMesh mesh = make_level_mesh(structure, feature, 2, nullptr);
  const ClusterTree tree(mesh, settings.leaf_size);
  const InteractionLists lists = make_interaction_lists(tree, settings.separation);
  LevelTimer timer(2);
  const SymmetricLevel level(mesh, tree, lists, settings, nullptr, nullptr, timer);
  ASSERT_EQ(0, level.preconditioner.work_size());  // the queue needs no coarse space
  const int32_t n = static_cast<int32_t>(mesh.panels.size());
  std::vector<double> start(static_cast<size_t>(n) * conductors);
  for (size_t i = 0; i < start.size(); ++i) start[i] = 1e-3 * static_cast<double>(i % 7);

  // The plain solves: two fixed groups, 8 and 3 conductors, from the same starts.
  std::vector<double> solution(start.size()), product(start.size());
  int64_t iterations = 0;
  LaneWork work(level.far, level.preconditioner, n);
  for (int32_t first = 0; first < conductors; first += kNarrowLanes) {
    for (int32_t i = 0; i < n; ++i) {
      const int32_t panel = tree.panel[i];
      work.b[i] = Lanes<kNarrowLanes>{};
      work.x[i] = Lanes<kNarrowLanes>{};
      for (int32_t w = 0; w < kNarrowLanes && first + w < conductors; ++w) {
        work.b[i].lane[w] = mesh.panels[panel].conductor == static_cast<uint32_t>(first + w);
        work.x[i].lane[w] = start[static_cast<size_t>(panel) * conductors + first + w];
      }
    }
    const std::vector<LaneOutcome> outcome =
        solve_lanes(level.Q, level.P, level.preconditioner, work.b.get(), work.x.get(),
                    work.y.get(), settings.stationary_tolerance, 10 * n + 1000, work);
    for (int32_t w = 0; w < kNarrowLanes && first + w < conductors; ++w) {
      ASSERT_TRUE(outcome[w].converged);
      iterations += outcome[w].iterations;
      for (int32_t i = 0; i < n; ++i) {
        const size_t at = static_cast<size_t>(tree.panel[i]) * conductors + first + w;
        solution[at] = work.x[i].lane[w];
        product[at] = work.y[i].lane[w];
      }
    }
  }

  for (int32_t threads : {1, 2, 3}) {
    settings.threads = threads;
    const ConductorSolves queued = solve_conductors(
        mesh, tree, level.Q, level.P, level.preconditioner, start, conductors, settings);
    EXPECT_TRUE(queued.converged) << threads;
    EXPECT_EQ(iterations, queued.iterations) << threads;
    EXPECT_EQ(
        0, std::memcmp(solution.data(), queued.solution.data(), solution.size() * sizeof(double)))
        << threads << " threads";
    EXPECT_EQ(0,
              std::memcmp(product.data(), queued.product.data(), product.size() * sizeof(double)))
        << threads << " threads";
  }
}
