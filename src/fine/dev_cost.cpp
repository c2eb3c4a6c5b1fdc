// Development: cost counts of one operator application for given settings.
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "fine/cluster_tree.h"
#include "fine/far_field.h"
#include "fine/feature_scale.h"
#include "fine/interaction_lists.h"
#include "fine/level_mesh.h"
#include "fine/structure_reader.h"

int main(int, char** argv) {
  std::ifstream in(argv[1]);
  FineStructure s;
  read_fine_structure(in, argv[1], s);
  std::vector<double> feature = feature_scales(s);
  int m = std::atoi(argv[2]);
  int order = std::atoi(argv[3]);
  double theta = std::atof(argv[4]);
  int leaf = std::atoi(argv[5]);
  LevelMesh mesh = make_level_mesh(s, feature, m);
  ClusterTree tree(mesh, leaf);
  InteractionLists lists = make_interaction_lists(tree, theta);
  FarField far(mesh, tree, lists, order, theta, 4);
  double m2l = 0, shifts = 0, p2m = 0, near = 0;
  for (auto& l : far.links) {
    for (int out = 0; out < far.terms_up_to[l.order]; ++out)
      m2l += 2 * far.terms_up_to[l.order - far.terms.degree[out]];
  }
  for (int k = 1; k < far.node_count; ++k) {
    int q = far.node_order[far.parent[k]];
    shifts += 2 * far.part_start[far.terms_up_to[q]];
  }
  for (size_t l = 0; l + 1 < far.leaf_first.size(); ++l) {
    p2m += 2.0 * (far.leaf_first[l + 1] - far.leaf_first[l]) *
           far.terms_up_to[far.node_order[far.leaf_node[l]]];
  }
  for (auto& pr : lists.near) {
    double a = tree.nodes[pr.first].count, b = tree.nodes[pr.second].count;
    near += pr.first == pr.second ? a * (a + 1) / 2 : a * b;
  }
  double total = 2 * near + m2l + shifts + p2m;
  std::printf(
      "N=%zu nodes=%d links=%zu near=%.2fM | apply: near %.1fM m2l %.1fM shifts %.1fM p2m %.1fM "
      "total %.1fM per panel %.0f\n",
      mesh.panels.size(), far.node_count, far.links.size(), near / 1e6, 2 * near / 1e6, m2l / 1e6,
      shifts / 1e6, p2m / 1e6, total / 1e6, total / mesh.panels.size());
}
