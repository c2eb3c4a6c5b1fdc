// The cluster tree of a stack, where long strips lie beside fine panels: the strips are split off
// into clusters of their own, so that a fine panel's near partners are its neighbours only, and
// every panel pair is still covered exactly once.
#include "fine/clusters/cluster_tree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "fine/clusters/interaction_lists.h"
#include "structure/space_box.h"

namespace {

/// A grid of 80 x 20 squares of side 0.25 at z = 0.5 and, above them at z = 1, four strips
/// 0.01 wide and 100 long; the strips form group 1 where groups are asked for.
LevelMesh strips_over_squares() {
  LevelMesh mesh;
  auto add = [&](double x0, double x1, double y0, double y1, double z) {
    AxisRect r;
    r.axis = 2;
    r.plane = z;
    r.lo[0] = x0, r.hi[0] = x1, r.lo[1] = y0, r.hi[1] = y1;
    mesh.panels.push_back(MeshPanel{r, (x1 - x0) * (y1 - y0), 0});
  };
  for (int i = 0; i < 80; ++i) {
    for (int j = 0; j < 20; ++j) add(0.25 * i, 0.25 * (i + 1), 0.25 * j, 0.25 * (j + 1), 0.5);
  }
  for (int k = 0; k < 4; ++k) add(-40.0, 60.0, 1.0 * k, 1.0 * k + 0.01, 1.0);
  mesh.face_first = {0, static_cast<uint32_t>(mesh.panels.size())};
  return mesh;
}

bool is_strip(const LevelMesh& mesh, int32_t p) { return mesh.panels[p].rect.hi[0] > 50.0; }

double centre_distance(const LevelMesh& mesh, int32_t p, int32_t q) {
  const SpaceBox a = space_box(mesh.panels[p].rect), b = space_box(mesh.panels[q].rect);
  double sum = 0;
  for (int k = 0; k < 3; ++k) {
    const double d = 0.5 * (a.lo[k] + a.hi[k] - b.lo[k] - b.hi[k]);
    sum += d * d;
  }
  return std::sqrt(sum);
}

}  // namespace

TEST(ClusterTree, LongPanelsSplitOffLeaveFinePanelsNearOnlyTheirNeighbours) {
  const LevelMesh mesh = strips_over_squares();
  const int32_t n = static_cast<int32_t>(mesh.panels.size());
  std::vector<int32_t> group(n, 0);
  for (int32_t p = 0; p < n; ++p) group[p] = is_strip(mesh, p) ? 1 : 0;
  for (int32_t leaf_size : {8, 16}) {
    for (const std::vector<int32_t>* groups :
         {static_cast<std::vector<int32_t>*>(nullptr), &group}) {
      const ClusterTree tree(mesh, leaf_size, groups, true);
      const InteractionLists lists = make_interaction_lists(tree, 0.6);
      std::vector<int32_t> covered(static_cast<size_t>(n) * n, 0);
      auto cover = [&](int32_t a, int32_t b, bool near) {
        const ClusterNode &na = tree.nodes[a], &nb = tree.nodes[b];
        for (int32_t i = na.first; i < na.first + na.count; ++i) {
          for (int32_t j = nb.first; j < nb.first + nb.count; ++j) {
            const int32_t p = tree.panel[i], q = tree.panel[j];
            covered[static_cast<size_t>(p) * n + q] += 1;
            if (a != b) covered[static_cast<size_t>(q) * n + p] += 1;
            // Halved across their longest side, leaves of up to 16 squares are at most
            // 1.25 x 0.75 (radius below 0.75): near squares lie within 1.5 / 0.6 + 1.5 = 4 of
            // each other. A leaf shared with a strip (radius 50) makes squares 8 apart near.
            if (near && !is_strip(mesh, p) && !is_strip(mesh, q)) {
              ASSERT_LE(centre_distance(mesh, p, q), 4.0) << "leaf size " << leaf_size;
            }
          }
        }
      };
      for (const auto& pair : lists.far) cover(pair.first, pair.second, false);
      for (const auto& pair : lists.near) cover(pair.first, pair.second, true);
      for (size_t k = 0; k < covered.size(); ++k) ASSERT_EQ(1, covered[k]) << "pair " << k;
    }
  }
}
