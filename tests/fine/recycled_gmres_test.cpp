// Lane GMRES with a space recycled from a first solve: a later solve of the same system with it
// meets its bound on the true residual (b − A x recomputed here), in fewer steps than without
// it, and a lane's bits do not depend on the lanes beside it. The system is the 2 × 2 bus's first
// level with every fourth panel's row made a piece's row (not symmetric), so every part of the
// method (the conductor rows' preconditioner, the pieces' rows) is in it.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "fine/clusters/interaction_lists.h"
#include "fine/mesh/feature_scale.h"
#include "fine/solve/conductor_rows_choice.h"
#include "fine/solve/lane_gmres.h"
#include "structure/panel_file_reader.h"

namespace {

typedef Lanes<kNarrowLanes> L;

/// Every row of the symmetric vacuum near field, its own column first.
NearRows rows_of(const NearField& near) {
  std::vector<std::vector<std::pair<int32_t, double>>> rows(near.n);
  for (int32_t i = 0; i < near.n; ++i) {
    rows[i].emplace_back(i, near.diagonal[i]);
    for (int64_t e = near.row_start[i]; e < near.row_start[i + 1]; ++e) {
      rows[i].emplace_back(near.col[e], near.value[e]);
      rows[near.col[e]].emplace_back(i, near.value[e]);
    }
  }
  NearRows N;
  N.n = near.n;
  N.row_start.push_back(0);
  for (const auto& row : rows) {
    for (const auto& entry : row) {
      N.col.push_back(entry.first);
      N.value.push_back(entry.second);
    }
    N.row_start.push_back(static_cast<int64_t>(N.col.size()));
  }
  return N;
}

struct Bus {
  Bus()
      : mesh(mesh_of("bus2x2.txt")),
        tree(mesh, 8),
        lists(make_interaction_lists(tree, 0.6)),
        near(rows_of(make_near_field(mesh, tree, lists, 1))),
        far(mesh, tree, lists, 8, 4, 0.6),
        A{near, far, {}, {}, {}, InstructionSet::sse2} {
    for (size_t i = 0; i < tree.panel.size(); ++i) {
      const bool piece = i % 4 == 3;
      A.piece.push_back(piece ? 1 : 0);
      A.area.push_back(mesh.panels[tree.panel[i]].area);
      A.factor.push_back(piece ? 0.05 : 0.0);
    }
  }
  static LevelMesh mesh_of(const char* file) {
    std::ifstream in(std::string(VORNAX_EXAMPLES) + "/" + file);
    FineStructure structure;
    EXPECT_EQ("", read_fine_structure(in, file, structure));
    return make_level_mesh(structure, feature_scales(structure), 1);
  }
  int32_t n() const { return near.n; }

  LevelMesh mesh;
  ClusterTree tree;
  InteractionLists lists;
  NearRows near;
  FarField far;
  GeneralSystem A;
};

/// Each lane's |b − A x| under the field cut at `degree`.
std::vector<double> true_residuals(const Bus& bus, int32_t degree, const std::vector<L>& b,
                                   const std::vector<L>& x) {
  FarFieldWork work(bus.far);
  std::vector<L> y(bus.n());
  apply_general(bus.A, degree, x.data(), y.data(), work);
  std::vector<double> norm(kNarrowLanes, 0.0);
  for (int32_t i = 0; i < bus.n(); ++i)
    for (int32_t w = 0; w < kNarrowLanes; ++w)
      norm[w] += (b[i].lane[w] - y[i].lane[w]) * (b[i].lane[w] - y[i].lane[w]);
  for (double& v : norm) v = std::sqrt(v);
  return norm;
}

/// A right-hand side unlike the first: each lane its own smooth pattern over the rows.
std::vector<L> rough_side(int32_t n) {
  std::vector<L> r(n);
  for (int32_t i = 0; i < n; ++i)
    for (int32_t w = 0; w < kNarrowLanes; ++w) r[i].lane[w] = std::sin(0.37 * i + w) + 0.1 * w;
  return r;
}

/// Lane w of the first right-hand side: potential 1 on conductor w (w < 4); past lane 3, a
/// pattern that `variant` changes.
std::vector<L> first_side(const Bus& bus, int32_t variant) {
  std::vector<L> b(bus.n());
  for (int32_t i = 0; i < bus.n(); ++i) {
    const uint32_t k = bus.mesh.panels[bus.tree.panel[i]].conductor;
    for (int32_t w = 0; w < kNarrowLanes; ++w)
      b[i].lane[w] = w < 4 ? (k == static_cast<uint32_t>(w)) : std::cos(0.1 * i * w + variant);
  }
  return b;
}

}  // namespace

TEST(RecycledGmres, ALaterSolveMeetsItsBoundInFewerStepsAndEachLaneKeepsItsBits) {
  const Bus bus;
  const int32_t n = bus.n();
  const BlockPreconditioner M = make_block_preconditioner(bus.A, bus.tree, 0.1);
  GmresWork work(bus.far, n, static_cast<int32_t>(M.conductor_at.size()), 40);
  const std::vector<L> r = rough_side(n);
  double loose[kNarrowLanes], tight[kNarrowLanes];
  for (int32_t w = 0; w < kNarrowLanes; ++w) {
    loose[w] = 1e-3;
    tight[w] = 1e-8 * std::sqrt(static_cast<double>(n));
  }
  std::vector<std::vector<L>> later;  // the second solve with the space, per variant
  for (int32_t variant = 0; variant < 2; ++variant) {
    std::vector<L> b = first_side(bus, variant), x(n), with(n);
    RecycledSpace space(n, 24);
    gmres_lanes(bus.A, 4, M, b.data(), x.data(), loose, 10 * n, work, &space);
    ASSERT_GT(space.size, 0);
    const std::vector<LaneOutcome> recycled =
        gmres_lanes(bus.A, 4, M, r.data(), with.data(), tight, 10 * n, work, &space);
    later.push_back(with);
    if (variant == 1) continue;
    std::vector<L> without(n);
    const std::vector<LaneOutcome> plain =
        gmres_lanes(bus.A, 4, M, r.data(), without.data(), tight, 10 * n, work);
    const std::vector<double> residual = true_residuals(bus, 4, r, with);
    int32_t steps_recycled = 0, steps_plain = 0;
    for (int32_t w = 0; w < kNarrowLanes; ++w) {
      EXPECT_TRUE(recycled[w].converged) << w;
      EXPECT_LE(residual[w], 1.01 * tight[w]) << w;
      steps_recycled += recycled[w].iterations;
      steps_plain += plain[w].iterations;
    }
    EXPECT_LT(steps_recycled, 0.9 * steps_plain);
  }
  // Lanes 0 to 3 had the same first right-hand sides in both variants, the others not.
  for (int32_t i = 0; i < n; ++i)
    for (int32_t w = 0; w < 4; ++w) EXPECT_EQ(later[0][i].lane[w], later[1][i].lane[w]) << i;
}

// A work space keeps what the solves before it left, or whatever the memory held. A cycle that
// ends before its last basis vector must not read the vectors it did not make: NaN left in them
// once turned whole solves into NaN and failed them, depending on how the memory was reused.
TEST(RecycledGmres, ACycleShorterThanTheRestartReadsOnlyTheVectorsItMade) {
  const Bus bus;
  const int32_t n = bus.n();
  const BlockPreconditioner M = make_block_preconditioner(bus.A, bus.tree, 0.1);
  const int32_t rows = static_cast<int32_t>(M.conductor_at.size());
  GmresWork clean(bus.far, n, rows, 40), left(bus.far, n, rows, 40);
  for (int32_t i = 0; i < n; ++i) {
    for (auto& v : clean.v) v[i] = L{};
    for (auto& v : left.v) {
      for (double& value : v[i].lane) value = std::nan("");
    }
  }
  double loose[kNarrowLanes];
  for (double& bound : loose) bound = 1e-2;
  const std::vector<L> b = first_side(bus, 0);
  std::vector<L> x_clean(n), x_left(n);
  const std::vector<LaneOutcome> outcome =
      gmres_lanes(bus.A, 4, M, b.data(), x_clean.data(), loose, 10 * n, clean);
  gmres_lanes(bus.A, 4, M, b.data(), x_left.data(), loose, 10 * n, left);
  for (int32_t w = 0; w < kNarrowLanes; ++w) {
    EXPECT_TRUE(outcome[w].converged) << w;
    EXPECT_LT(outcome[w].iterations, 40) << w;  // the cycle ended early
  }
  for (int32_t i = 0; i < n; ++i)
    for (int32_t w = 0; w < kNarrowLanes; ++w)
      ASSERT_EQ(x_clean[i].lane[w], x_left[i].lane[w]) << i << " " << w;
}

// A bound no residual can meet (zero) must not keep a solve going to its limit of products:
// once the residual stops halving at the rounding's floor, the lane gives up, unconverged.
TEST(RecycledGmres, ALaneWhoseResidualStopsFallingGivesUp) {
  const Bus bus;
  const int32_t n = bus.n();
  const BlockPreconditioner M = make_block_preconditioner(bus.A, bus.tree, 0.1);
  GmresWork work(bus.far, n, static_cast<int32_t>(M.conductor_at.size()), 5);
  double zero[kNarrowLanes] = {};
  const std::vector<L> b = first_side(bus, 0);
  std::vector<L> x(n);
  const std::vector<LaneOutcome> outcome =
      gmres_lanes(bus.A, 4, M, b.data(), x.data(), zero, 1 << 30, work);
  for (int32_t w = 0; w < kNarrowLanes; ++w) {
    EXPECT_FALSE(outcome[w].converged) << w;
    EXPECT_LT(outcome[w].iterations, 1000) << w;  // 270 to 330 here
  }
}

// Where the conductor rows have both a factor and the leaves' blocks, a short trial keeps the
// one that solves faster and frees the other. Each pairing here has one of them cut down to the
// rows' diagonals (a block of one row each, or a factor with nothing off its diagonal), which
// on the bus takes about twice the steps of the whole (to 1e-6: 188 against the factor's 96 and
// the blocks' 49): the trial must keep the whole one, whichever it is, on one thread and two,
// and leave the group's start where the kept one's trial ended.
TEST(RecycledGmres, TheTrialKeepsTheConductorRowsThatSolveFaster) {
  const Bus bus;
  const int32_t n = bus.n();
  GeneralSystem A = bus.A;  // every row a conductor's: their block is the whole near field
  for (int32_t i = 0; i < n; ++i) A.piece[i] = 0, A.factor[i] = 0.0;
  const NearField near = make_near_field(bus.mesh, bus.tree, bus.lists, 1);
  std::vector<int32_t> every(n);
  for (int32_t i = 0; i < n; ++i) every[i] = i;
  std::vector<std::pair<int32_t, int32_t>> single(n);
  for (int32_t i = 0; i < n; ++i) single[i] = {i, 1};
  IncompleteFactor diagonal_only;
  diagonal_only.n = n;
  diagonal_only.row_start.assign(n + 1, 0);
  for (int32_t i = 0; i < n; ++i) diagonal_only.diagonal.push_back(std::sqrt(near.diagonal[i]));
  diagonal_only.made = true;

  const std::vector<L> b = first_side(bus, 0);
  for (const bool whole_factor : {true, false}) {
    for (const int32_t threads : {1, 2}) {
      BlockPreconditioner M;
      M.conductor_at = every;
      M.diagonal.assign(n, 0.0);
      M.factor = whole_factor ? make_incomplete_factor(near, 0.1) : diagonal_only;
      ASSERT_TRUE(M.factor.made);
      M.blocks = make_leaf_blocks(near, whole_factor ? single : leaf_ranges(bus.tree, every), 0.1,
                                  whole_factor ? 1 : 64);
      M.use_blocks = true;
      std::vector<L> start(n);
      choose_conductor_rows(A, 4, b.data(), start.data(), M, threads);
      EXPECT_EQ(!whole_factor, M.use_blocks) << threads;
      EXPECT_EQ(whole_factor, M.blocks.owned.empty()) << threads;  // the other freed
      EXPECT_EQ(!whole_factor, M.factor.diagonal.empty()) << threads;
      // The start is where the kept one's trial ended: its residual a small part of b's.
      FarFieldWork far(bus.far);
      std::vector<L> product(n);
      apply_general(A, 4, start.data(), product.data(), far);
      for (int32_t w = 0; w < kNarrowLanes; ++w) {
        double left = 0.0, whole = 0.0;
        for (int32_t i = 0; i < n; ++i) {
          left += std::pow(b[i].lane[w] - product[i].lane[w], 2);
          whole += std::pow(b[i].lane[w], 2);
        }
        EXPECT_LT(left, 1e-2 * whole) << w;
      }
    }
  }
}
