// Development: cost counts of one operator application for given settings.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "fine/cluster_tree.h"
#include "fine/far_field.h"
#include "fine/feature_scale.h"
#include "fine/incomplete_factor.h"
#include "fine/interaction_lists.h"
#include "fine/lane_pcg.h"
#include "fine/level_mesh.h"
#include "fine/near_field.h"
#include "fine/structure_reader.h"

int main(int argc, char** argv) {
  std::ifstream in(argv[1]);
  FineStructure s;
  read_fine_structure(in, argv[1], s);
  std::vector<double> feature = feature_scales(s);
  int m = std::atoi(argv[2]);
  int order = std::atoi(argv[3]);
  double theta = std::atof(argv[4]);
  int leaf = std::atoi(argv[5]);
  LevelMesh mesh = make_level_mesh(s, feature, m);
  auto t0 = std::chrono::steady_clock::now();
  ClusterTree tree(mesh, leaf);
  InteractionLists lists = make_interaction_lists(tree, theta);
  auto t1 = std::chrono::steady_clock::now();
  NearField near = make_near_field(mesh, tree, lists, 1);
  auto t2 = std::chrono::steady_clock::now();
  FarField far(mesh, tree, lists, order, theta);
  auto t3 = std::chrono::steady_clock::now();
  IncompleteFactor factor = make_incomplete_factor(near, 0.05);
  auto t4 = std::chrono::steady_clock::now();
  double m2l = 0, shifts = 0, p2m = 0;
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
  double nearops = 2.0 * near.row_start[near.n] + near.n;
  double facops = 2.0 * factor.row_start[factor.n];
  std::vector<LaneBlock> x(near.n), y(near.n);
  for (auto& b : x)
    for (int w = 0; w < 8; ++w) b.lane[w] = 1.0;
  FarFieldWork work(far);
  LevelOperator P{near, far, fine_kernels(InstructionSet::avx512)};
  auto t5 = std::chrono::steady_clock::now();
  for (int r = 0; r < 5; ++r)
    fine_kernels(InstructionSet::avx512).near_multiply(near, x.data(), y.data());
  auto t6 = std::chrono::steady_clock::now();
  for (int r = 0; r < 5; ++r)
    fine_kernels(InstructionSet::avx512)
        .far_multiply(far, x.data(), y.data(), work.multipole.data(), work.local.data());
  auto t7 = std::chrono::steady_clock::now();
  for (int r = 0; r < 5; ++r)
    fine_kernels(InstructionSet::avx512).factor_solve(factor, x.data(), y.data());
  auto t8 = std::chrono::steady_clock::now();
  auto sec = [](auto a, auto b) { return std::chrono::duration<double>(b - a).count(); };
  std::printf(
      "N=%d nodes=%d links=%zu | per lane-group apply (vector ops): near %.2fM far m2l %.2fM "
      "shifts %.2fM p2m/l2p %.2fM factor %.2fM\n",
      near.n, far.node_count, far.links.size(), nearops / 1e6, m2l / 1e6, shifts / 1e6, p2m / 1e6,
      facops / 1e6);
  std::printf(
      "times: lists %.3f near-assembly %.3f far-setup %.3f factor %.3f | apply near %.4f far %.4f "
      "factor %.4f\n",
      sec(t0, t1), sec(t1, t2), sec(t2, t3), sec(t3, t4), sec(t5, t6) / 5, sec(t6, t7) / 5,
      sec(t7, t8) / 5);
}
