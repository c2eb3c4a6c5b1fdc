// The far field on its own: its interaction lists against every panel pair, its product against
// the dense Galerkin product of the same pairs (a quadrature written here), and its products that
// save memory against those that keep everything.
#include "fine/far_field/far_field.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <fstream>
#include <random>
#include <thread>
#include <vector>

#include "fine/far_field/far_product.h"
#include "fine/mesh/feature_scale.h"
#include "reference_integral.h"
#include "structure/panel_file_reader.h"
#include "structure/space_box.h"

namespace {

/// A level of a structure, its cluster tree and its interaction lists.
struct Level {
  Level(const char* file, int32_t m, int32_t leaf_size, double separation)
      : mesh(mesh_of(file, m)),
        tree(mesh, leaf_size),
        lists(make_interaction_lists(tree, separation)) {}

  static LevelMesh mesh_of(const char* file, int32_t m) {
    std::ifstream in(std::string(VORNAX_EXAMPLES) + "/" + file);
    FineStructure structure;
    EXPECT_EQ("", read_fine_structure(in, file, structure));
    return make_level_mesh(structure, feature_scales(structure), m);
  }

  /// The panels of node k, in tree order.
  std::vector<int32_t> panels_of(int32_t k) const {
    std::vector<int32_t> panels(tree.nodes[k].count);
    for (int32_t i = 0; i < tree.nodes[k].count; ++i) panels[i] = tree.nodes[k].first + i;
    return panels;
  }

  const AxisRect& rect(int32_t i) const { return mesh.panels[tree.panel[i]].rect; }

  LevelMesh mesh;
  ClusterTree tree;
  InteractionLists lists;
};

/// The 4 × 4 bus's second level on a tree of one root and on one of two (a group of half the
/// panels each), and random values for eight solves.
struct OneRootAndTwo {
  explicit OneRootAndTwo(uint32_t seed)
      : level("bus4x4.txt", 2, 4, 0.6),
        group(halves(level.mesh.panels.size())),
        grouped(level.mesh, 4, &group),
        grouped_lists(make_interaction_lists(grouped, 0.6)),
        x(level.mesh.panels.size()) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    for (auto& block : x) {
      for (double& value : block.lane) value = uniform(random);
    }
  }
  static std::vector<int32_t> halves(size_t panels) {
    std::vector<int32_t> group(panels);
    for (size_t i = 0; i < panels; ++i) group[i] = 2 * i < panels ? 0 : 1;
    return group;
  }
  const InteractionLists& lists_of(const ClusterTree* tree) const {
    return tree == &grouped ? grouped_lists : level.lists;
  }

  Level level;
  std::vector<int32_t> group;
  ClusterTree grouped;
  InteractionLists grouped_lists;
  std::vector<Lanes<kNarrowLanes>> x;
};

/// The centre of node k's panels' box and the farthest a point of them lies from it.
void ball_of(const Level& level, int32_t k, double centre[3], double& radius) {
  double lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
  for (int32_t i : level.panels_of(k)) {
    const SpaceBox box = space_box(level.rect(i));
    for (int a = 0; a < 3; ++a) {
      lo[a] = std::min(lo[a], box.lo[a]);
      hi[a] = std::max(hi[a], box.hi[a]);
    }
  }
  radius = 0;
  for (int a = 0; a < 3; ++a) {
    centre[a] = 0.5 * (lo[a] + hi[a]);
    radius += 0.25 * (hi[a] - lo[a]) * (hi[a] - lo[a]);
  }
  radius = std::sqrt(radius);
}

/// (1/(A_i A_j)) ∬∬ dA dA' / |x − y| for two panels well apart, by a Gauss rule fine enough that
/// its error (ρ^(-2n) for the Bernstein ellipse of the nearest singularity) is below 1e-13.
double coefficient(const AxisRect& a, const AxisRect& b) {
  const SpaceBox p = space_box(a), q = space_box(b);
  double gap = box_gap(p, q), half = 0;
  for (int k = 0; k < 3; ++k) half = std::max({half, p.hi[k] - p.lo[k], q.hi[k] - q.lo[k]});
  const double g = gap / (0.5 * half), rho = g + std::sqrt(1 + g * g);
  const int points =
      std::min(12, static_cast<int>(std::ceil(12 * std::log(10.0) / (2 * std::log(rho)))) + 1);
  const double area =
      (a.hi[0] - a.lo[0]) * (a.hi[1] - a.lo[1]) * (b.hi[0] - b.lo[0]) * (b.hi[1] - b.lo[1]);
  return static_cast<double>(gauss_integral(a, b, points)) / area;
}

}  // namespace

TEST(FarField, TheInteractionListsCoverEveryPanelPairExactlyOnce) {
  for (double separation : {0.3, 0.6}) {
    const Level level("bus2x2.txt", 2, 4, separation);
    const int32_t n = static_cast<int32_t>(level.mesh.panels.size());
    std::vector<int32_t> covered(static_cast<size_t>(n) * n, 0);
    auto cover = [&](int32_t a, int32_t b) {
      for (int32_t i : level.panels_of(a)) {
        for (int32_t j : level.panels_of(b)) {
          covered[static_cast<size_t>(i) * n + j] += 1;
          if (a != b) covered[static_cast<size_t>(j) * n + i] += 1;
        }
      }
    };
    for (const auto& pair : level.lists.far) cover(pair.first, pair.second);
    for (const auto& pair : level.lists.near) cover(pair.first, pair.second);
    EXPECT_EQ(static_cast<size_t>(n) * n,
              static_cast<size_t>(std::count(covered.begin(), covered.end(), 1)))
        << "separation " << separation;
    EXPECT_FALSE(level.lists.far.empty());
  }
}

// Each far pair of clusters A, B errs by at most the tail ρ^(q+1)/((1 − ρ)|D|) of the expansion
// of 1/|D + w| (|w| ≤ ρ|D|) cut at its degree q, ρ the sum of the clusters' radii over the
// distance D of their centres. The pair's degree q_p meets ρ^(q_p+1) <= s^(h+1) for separation
// s and highest degree h, so a product at degree q errs by at most max(ρ^(q+1), s^(h+1)) of it.
TEST(FarField, TheProductIsTheGalerkinProductOfTheFarPairsWithinTheBoundOfItsDegree) {
  const double separation = 0.3;
  const int32_t highest = 12;
  const Level level("bus2x2.txt", 2, 4, separation);
  const FarField far(level.mesh, level.tree, level.lists, highest, 4, separation);
  const int32_t n = static_cast<int32_t>(level.mesh.panels.size());
  std::mt19937 random(26);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  std::vector<Lanes<kNarrowLanes>> x(n);
  for (auto& block : x) {
    for (double& value : block.lane) value = uniform(random);
  }
  // The dense product of the far pairs, and for each degree its bound, lane by lane.
  const std::vector<int32_t> degrees = {4, 8, 12};
  std::vector<Lanes<kNarrowLanes>> dense(n, Lanes<kNarrowLanes>{});
  std::vector<std::vector<Lanes<kNarrowLanes>>> bound(3, dense);
  for (const auto& pair : level.lists.far) {
    double ca[3], cb[3], ra, rb;
    ball_of(level, pair.first, ca, ra);
    ball_of(level, pair.second, cb, rb);
    const double distance =
        std::sqrt((ca[0] - cb[0]) * (ca[0] - cb[0]) + (ca[1] - cb[1]) * (ca[1] - cb[1]) +
                  (ca[2] - cb[2]) * (ca[2] - cb[2]));
    const double rho = (ra + rb) / distance;
    ASSERT_LT(rho, separation * (1 + 1e-6));
    for (int32_t i : level.panels_of(pair.first)) {
      for (int32_t j : level.panels_of(pair.second)) {
        const double g = coefficient(level.rect(i), level.rect(j));
        for (size_t q = 0; q < degrees.size(); ++q) {
          const double tail = std::max(std::pow(rho, degrees[q] + 1),
                                       std::pow(separation, highest + 1) * (1 + 1e-6)) /
                                  ((1 - rho) * distance) +
                              1e-11 * g;
          for (int w = 0; w < kNarrowLanes; ++w) {
            bound[q][i].lane[w] += tail * x[j].lane[w];
            bound[q][j].lane[w] += tail * x[i].lane[w];
          }
        }
        for (int w = 0; w < kNarrowLanes; ++w) {
          dense[i].lane[w] += g * x[j].lane[w];
          dense[j].lane[w] += g * x[i].lane[w];
        }
      }
    }
  }
  // Pairs of degree 4 take the unrolled moves, which avx512 makes with moments held in registers.
  const std::vector<FarLinkSide>& sides = far.tables().sides;
  ASSERT_TRUE(std::any_of(sides.begin(), sides.end(), [](auto& s) { return s.degree >= 4; }));
  FarFieldWork work(far.work_blocks());
  for (size_t q = 0; q < degrees.size(); ++q) {
    std::vector<Lanes<kNarrowLanes>> y(n, Lanes<kNarrowLanes>{});
    far.add_product(degrees[q], x.data(), y.data(), work, InstructionSet::sse2);
    double worst = 0;  // the largest error in units of its bound
    for (int32_t i = 0; i < n; ++i) {
      for (int w = 0; w < kNarrowLanes; ++w) {
        const double error = std::fabs(y[i].lane[w] - dense[i].lane[w]);
        worst = std::max(worst, error / bound[q][i].lane[w]);
      }
    }
    EXPECT_LE(worst, 1.0) << "degree " << degrees[q];
    // Every path gives the same bits.
    for (InstructionSet set : {InstructionSet::avx2, InstructionSet::avx512}) {
      if (!processor_has(set)) continue;
      std::vector<Lanes<kNarrowLanes>> other(n, Lanes<kNarrowLanes>{});
      far.add_product(degrees[q], x.data(), other.data(), work, set);
      EXPECT_EQ(0, std::memcmp(y.data(), other.data(), n * sizeof(y[0])))
          << instruction_set_name(set);
    }
  }
}

// The accurate product, in the least work space, walks the tree depth first with the locals of
// one path; in less room it does so in two halves of the lanes; given room for every node's
// expansions it keeps them all. All must give the same bits at every degree and on every path,
// on a tree of one root and on one of several (a group each).
TEST(FarField, TheProductsDepthFirstAreTheProductThatKeepsEveryLocalToTheBit) {
  const OneRootAndTwo trees(29);
  const Level& level = trees.level;
  const std::vector<Lanes<kNarrowLanes>>& x = trees.x;
  const int32_t n = static_cast<int32_t>(x.size());
  for (const ClusterTree* tree : {&level.tree, &trees.grouped}) {
    const FarField far(level.mesh, *tree, trees.lists_of(tree), 8, 4, 0.6);
    ASSERT_LT(far.least_work_blocks(), 2 * far.work_blocks());  // under the room of all
    EXPECT_EQ(tree == &trees.grouped ? 2u : 1u, far.tables().roots.size());
    const int64_t halves_room = half_depth_first_blocks(far.tables());
    ASSERT_LT(2 * ((halves_room + 1) / 2), depth_first_blocks(far.tables()));
    FarFieldWork least(far), whole(far.work_blocks()), halves((halves_room + 1) / 2);
    for (int32_t degree : {4, 6, 8}) {
      std::vector<Lanes<kNarrowLanes>> all(x), one_path(x);  // y += F x on y = x
      far.add_product(degree, x.data(), all.data(), whole, InstructionSet::sse2);
      for (InstructionSet set :
           {InstructionSet::sse2, InstructionSet::avx2, InstructionSet::avx512}) {
        if (!processor_has(set)) continue;
        for (FarFieldWork* work : {&least, &halves}) {
          one_path = x;
          far.add_product(degree, x.data(), one_path.data(), *work, set);
          EXPECT_EQ(0, std::memcmp(all.data(), one_path.data(), n * sizeof(x[0])))
              << "degree " << degree << ", " << instruction_set_name(set)
              << (work == &least ? ", whole" : ", halves");
        }
      }
      EXPECT_NE(0, std::memcmp(all.data(), x.data(), n * sizeof(x[0])));  // the product is there
    }
  }
}

// A product is shared by the threads (the last of a level, those of a single lane group): one
// makes the moments, then each walks the subtrees it takes. Whichever thread takes which
// subtree, y must get the bits of the product of one thread, on one root or two, on every path.
TEST(FarField, TheProductSharedByThreadsIsTheProductOfOneThreadToTheBit) {
  const OneRootAndTwo trees(31);
  const Level& level = trees.level;
  const std::vector<Lanes<kNarrowLanes>>& x = trees.x;
  const int32_t n = static_cast<int32_t>(x.size());
  for (const ClusterTree* tree : {&level.tree, &trees.grouped}) {
    const FarField far(level.mesh, *tree, trees.lists_of(tree), 8, 4, 0.6);
    FarFieldWork work(far);
    for (int32_t degree : {4, 6, 8}) {            // the kept degree too
      std::vector<Lanes<kNarrowLanes>> alone(x);  // y += F x on y = x
      far.add_product(degree, x.data(), alone.data(), work, InstructionSet::sse2);
      for (InstructionSet set :
           {InstructionSet::sse2, InstructionSet::avx2, InstructionSet::avx512}) {
        if (!processor_has(set)) continue;
        for (int32_t threads : {1, 2, 3, 5}) {
          std::vector<Lanes<kNarrowLanes>> shared(x);
          std::vector<Lanes<kNarrowLanes>> moments(far.work_blocks());
          far.make_moments(degree, x.data(), moments.data(), set);
          std::atomic<int32_t> next{0};
          std::vector<std::thread> walks;
          for (int32_t t = 0; t < threads; ++t) {
            walks.emplace_back([&] {
              std::vector<Lanes<kNarrowLanes>> path(far.path_blocks());
              far.add_locals(degree, moments.data(), shared.data(), path.data(), next, threads,
                             set);
            });
          }
          for (std::thread& walk : walks) walk.join();
          EXPECT_EQ(0, std::memcmp(alone.data(), shared.data(), n * sizeof(x[0])))
              << "degree " << degree << ", " << instruction_set_name(set) << ", " << threads
              << " threads, " << far.tables().roots.size() << " roots";
        }
      }
    }
  }
}

// In vacuum the products above the kept degree make each far pair's tensor as they visit it; they
// must give the bits of a product that reads every pair's tensor from a table, made here from
// the nodes' centres at the pair's own degree as the far field once kept them (the table serves
// products above the kept degree only: its kept tensors stay one per pair).
TEST(FarField, TheTensorsMadeAsThePairsAreVisitedAreTheKeptTensorsToTheBit) {
  const Level level("bus4x4.txt", 2, 4, 0.6);
  const FarField far(level.mesh, level.tree, level.lists, 8, 4, 0.6);
  FarFieldTables table = far.tables();
  ASSERT_FALSE(table.centre.empty());
  table.centre.clear();
  for (FarLinkSide& side : table.sides) {  // each side its own copy of its pair's tensor
    const int32_t k = static_cast<int32_t>(&side - table.sides.data());
    const int32_t node =
        static_cast<int32_t>(std::upper_bound(table.side_start.begin(), table.side_start.end(), k) -
                             table.side_start.begin() - 1);
    const bool first = side.tensor_sign == kUnsigned;
    const double* a = level.tree.nodes[first ? node : side.source].centre;
    const double* b = level.tree.nodes[first ? side.source : node].centre;
    std::vector<double> T(kMostTerms);
    inverse_distance_derivatives(table.terms, side.degree, b[0] - a[0], b[1] - a[1], b[2] - a[2],
                                 T.data());
    side.tensor = static_cast<int64_t>(table.tensors.size());
    table.tensors.insert(table.tensors.end(), T.begin(), T.begin() + terms_up_to(side.degree));
  }
  const int32_t n = static_cast<int32_t>(level.mesh.panels.size());
  std::vector<Lanes<kNarrowLanes>> x(n);
  for (int32_t i = 0; i < n; ++i) {
    for (int w = 0; w < kNarrowLanes; ++w) x[i].lane[w] = std::sin(1.0 + i + 0.1 * w);
  }
  FarFieldWork work(far);
  for (InstructionSet set : {InstructionSet::sse2, InstructionSet::avx2, InstructionSet::avx512}) {
    if (!processor_has(set)) continue;
    std::vector<Lanes<kNarrowLanes>> made(n), kept(n);
    far.add_product(8, x.data(), made.data(), work, set);
    far_product(set)(table, 8, x.data(), kept.data(), work.space.get(), work.blocks);
    EXPECT_EQ(0, std::memcmp(made.data(), kept.data(), n * sizeof(x[0])))
        << instruction_set_name(set);
  }
}
