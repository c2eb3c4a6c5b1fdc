// fine_kernel_timing: the CPU time of vornax-fine's solve kernels on one level of a structure,
// as a group of eight solves uses them: the near product (and on its single-precision copy), the
// far product at the iterations' degree (4) with and without its far pairs, the factored solve, and
// the far product at the highest degree (8). Not installed.
//
// usage: fine_kernel_timing PANELFILE LEVEL LEAF [REPEATS]
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "fine/clusters/cluster_tree.h"
#include "fine/clusters/interaction_lists.h"
#include "fine/far_field/far_field.h"
#include "fine/far_field/far_product.h"
#include "fine/mesh/feature_scale.h"
#include "fine/mesh/graded_mesh.h"
#include "fine/solve/incomplete_factor.h"
#include "fine/solve/near_field.h"
#include "fine/solve/near_kernels.h"
#include "structure/panel_file_reader.h"

static double cpu() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec + 1e-9 * t.tv_nsec;
}

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: fine_kernel_timing PANELFILE LEVEL LEAF [REPEATS]\n");
    return 2;
  }
  std::ifstream in(argv[1]);
  FineStructure s;
  read_fine_structure(in, argv[1], s);
  std::vector<double> feature = feature_scales(s);
  int m = std::atoi(argv[2]);
  int leaf = std::atoi(argv[3]);
  LevelMesh mesh = make_level_mesh(s, feature, m);
  ClusterTree tree(mesh, leaf);
  InteractionLists lists = make_interaction_lists(tree, 0.6);
  double t0 = cpu();
  NearField near = make_near_field(mesh, tree, lists, 1);
  double t1 = cpu();
  FarField far(mesh, tree, lists, 8, 4, 0.6);
  double t2 = cpu();
  IncompleteFactor factor = make_incomplete_factor(near, 0.1);
  double t3 = cpu();
  std::vector<Lanes<kNarrowLanes>> x(near.n), y(near.n);
  for (auto& b : x)
    for (int w = 0; w < 8; ++w) b.lane[w] = 1.0 + w;
  FarFieldWork work(far);
  const InstructionSet set = best_instruction_set();
  const NearKernels& k = near_kernels(set);
  const int R = argc > 4 ? std::atoi(argv[4]) : 10;
  double a = cpu();
  for (int r = 0; r < R; ++r) k.near_multiply(near, x.data(), y.data());
  double b = cpu();
  const SingleNear single = make_single_near(near);
  double s0 = cpu();
  for (int r = 0; r < R; ++r) k.single_near_multiply(single, x.data(), y.data());
  double s1 = cpu();
  for (int r = 0; r < R; ++r) far.add_product(4, x.data(), y.data(), work, set);
  double c = cpu();
  for (int r = 0; r < R; ++r) k.factor_solve(factor, x.data(), y.data());
  double d = cpu();
  far.add_product(8, x.data(), y.data(), work, set);
  double e = cpu();
  {
    FarFieldTables nolinks = far.tables();
    std::fill(nolinks.side_start.begin(), nolinks.side_start.end(), 0);
    double f0 = cpu();
    for (int r = 0; r < R; ++r)
      far_product(set)(nolinks, 4, x.data(), y.data(), work.space.get(), work.blocks);
    double f1 = cpu();
    // The products of the far pairs at degree 4: per side of a pair, one product for each
    // (out, in) of degree(out) + degree(in) <= min(4, the pair's order), on eight lanes.
    double products = 0.0;
    int64_t by_order[5] = {0, 0, 0, 0, 0};
    for (const FarLinkSide& side : far.tables().sides) {
      const int32_t q = std::min(4, side.degree);
      by_order[q] += 1;
      for (int32_t n = 0; n <= q; ++n) products += (n + 1) * (n + 2) / 2 * terms_up_to(q - n);
    }
    for (int64_t& count : by_order) count /= 2;  // each pair has two sides
    const double seconds = ((c - b) - (f1 - f0)) / R;
    std::printf(
        "far4 without links %.2f ms; %zu far pairs (of degree 2, 3, 4 while iterating: %lld, %lld, "
        "%lld), %.3g Gflop/s in their products\n",
        (f1 - f0) / R * 1e3, (size_t)far.pair_count(), (long long)by_order[2],
        (long long)by_order[3], (long long)by_order[4], products * 8 * 2 / seconds * 1e-9);
  }
  {
    // The accurate product four ways: in halves of the lanes (the least work space) or keeping
    // every expansion, each far pair's tensor made as it is visited or read from a table.
    FarFieldTables table = far.tables();
    table.centre.clear();
    for (size_t k = 0; k + 1 < table.side_start.size(); ++k) {
      for (int32_t e = table.side_start[k]; e < table.side_start[k + 1]; ++e) {
        FarLinkSide& side = table.sides[e];
        const bool first = side.tensor_sign == kUnsigned;
        const double* a = tree.nodes[first ? k : side.source].centre;
        const double* b = tree.nodes[first ? side.source : k].centre;
        double T[kMostTerms];
        inverse_distance_derivatives(table.terms, side.degree, b[0] - a[0], b[1] - a[1],
                                     b[2] - a[2], T);
        side.tensor = static_cast<int64_t>(table.tensors.size());
        table.tensors.insert(table.tensors.end(), T, T + terms_up_to(side.degree));
      }
    }
    FarFieldWork whole(far.work_blocks());
    double t[5];  // each product once before it is timed: its work space's pages touched
    for (int pass = 0; pass < 2; ++pass) {
      t[0] = cpu();
      far.add_product(8, x.data(), y.data(), work, set);
      t[1] = cpu();
      far.add_product(8, x.data(), y.data(), whole, set);
      t[2] = cpu();
      far_product(set)(table, 8, x.data(), y.data(), work.space.get(), work.blocks);
      t[3] = cpu();
      far_product(set)(table, 8, x.data(), y.data(), whole.space.get(), whole.blocks);
      t[4] = cpu();
    }
    std::printf(
        "far8 ms, tensors made / kept: in halves %.1f / %.1f, keeping all %.1f / %.1f; work "
        "space %.1f / %.1f MB\n",
        (t[1] - t[0]) * 1e3, (t[3] - t[2]) * 1e3, (t[2] - t[1]) * 1e3, (t[4] - t[3]) * 1e3,
        work.blocks * 64e-6, whole.blocks * 64e-6);
  }
  std::printf(
      "N=%d near=%lld (%.1f us/1k) far setup %.3f factor %.3f (%lld kept) | apply ms: near %.2f "
      "(single %.2f, its copy %.3f s) far4 %.2f factor %.2f far8 %.2f\n",
      near.n, (long long)near.row_start[near.n], (t1 - t0) * 1e9 / near.row_start[near.n], t2 - t1,
      t3 - t2, (long long)factor.row_start[near.n], (b - a) / R * 1e3, (s1 - s0) / R * 1e3, s0 - b,
      (c - s1) / R * 1e3, (d - c) / R * 1e3, (e - d) * 1e3);
}
