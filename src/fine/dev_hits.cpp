// Development: how many near pairs repeat up to translation.
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <unordered_set>

#include "fine/cluster_tree.h"
#include "fine/feature_scale.h"
#include "fine/interaction_lists.h"
#include "fine/level_mesh.h"
#include "fine/structure_reader.h"

int main(int, char** argv) {
  std::ifstream in(argv[1]);
  FineStructure s;
  read_fine_structure(in, argv[1], s);
  std::vector<double> feature = feature_scales(s);
  LevelMesh mesh = make_level_mesh(s, feature, std::atoi(argv[2]));
  ClusterTree tree(mesh, 16);
  InteractionLists lists = make_interaction_lists(tree, 0.6);
  double q = 1e-9;  // quantum relative to extent ~
  std::set<std::array<long long, 10>> keys;
  long long total = 0;
  auto key_of = [&](const MeshPanel& a, const MeshPanel& b) {
    double alo[3], ahi[3], blo[3], bhi[3];
    auto bounds = [](const AxisRect& r, double lo[3], double hi[3]) {
      lo[r.axis] = hi[r.axis] = r.level;
      for (int k = 0; k < 2; ++k) {
        lo[(r.axis + 1 + k) % 3] = r.lo[k];
        hi[(r.axis + 1 + k) % 3] = r.hi[k];
      }
    };
    bounds(a.rect, alo, ahi);
    bounds(b.rect, blo, bhi);
    std::array<long long, 10> k;
    k[0] = a.rect.axis * 3 + b.rect.axis;
    for (int d = 0; d < 3; ++d) {
      k[1 + d] = std::llround((ahi[d] - alo[d]) / q);
      k[4 + d] = std::llround((bhi[d] - blo[d]) / q);
      k[7 + d] = std::llround((blo[d] - alo[d]) / q);
    }
    return k;
  };
  for (auto& pr : lists.near) {
    const ClusterNode& A = tree.nodes[pr.first];
    const ClusterNode& B = tree.nodes[pr.second];
    for (int i = A.first; i < A.first + A.count; ++i)
      for (int j = (pr.first == pr.second ? i : B.first); j < B.first + B.count; ++j) {
        keys.insert(key_of(mesh.panels[tree.panel[i]], mesh.panels[tree.panel[j]]));
        ++total;
      }
  }
  std::printf("near pairs %lld, distinct up to translation %zu (%.1f %%)\n", total, keys.size(),
              100.0 * keys.size() / total);
}
