#include "fine/solve/near_rows.h"

#include <algorithm>
#include <memory>

#include "common/huge_pages.h"
#include "common/parallel_for.h"

NearRows make_near_rows(const LevelMesh& mesh, const ClusterTree& tree,
                        const InteractionLists& lists, int32_t threads, const NearMedium& medium) {
  NearRows near;
  const int32_t n = static_cast<int32_t>(tree.panel.size());
  near.n = n;
  // The partner leaves of each leaf, itself first, then in the order of their panels.
  std::vector<std::vector<int32_t>> partners(tree.nodes.size());
  for (const auto& pair : lists.near) {
    if (pair.first == pair.second) continue;
    partners[pair.first].push_back(pair.second);
    partners[pair.second].push_back(pair.first);
  }
  const std::vector<int32_t> leaves = leaf_nodes(tree);
  near.row_start.assign(n + 1, 0);
  for (int32_t leaf : leaves) {
    std::vector<int32_t>& list = partners[leaf];
    std::sort(list.begin(), list.end(),
              [&](int32_t a, int32_t b) { return tree.nodes[a].first < tree.nodes[b].first; });
    list.insert(list.begin(), leaf);
    int64_t columns = 0;
    for (int32_t b : list) columns += tree.nodes[b].count;
    const ClusterNode& node = tree.nodes[leaf];
    for (int32_t i = node.first; i < node.first + node.count; ++i) near.row_start[i + 1] = columns;
  }
  for (int32_t i = 0; i < n; ++i) near.row_start[i + 1] += near.row_start[i];
  assign_advised(near.col, near.row_start[n], int32_t{0});
  assign_advised(near.value, near.row_start[n], 0.0);
  // Each thread's cache made by the thread itself, both at once: a cache is 12 MiB to clear.
  std::vector<std::unique_ptr<CoefficientCache>> caches(
      parallel_for_threads(leaves.size(), threads));
  parallel_for(static_cast<int64_t>(leaves.size()), threads, [&](int64_t k, int32_t thread) {
    if (caches[thread] == nullptr) caches[thread] = std::make_unique<CoefficientCache>();
    CoefficientCache& cache = *caches[thread];
    const int32_t leaf = leaves[k];
    const ClusterNode& node = tree.nodes[leaf];
    std::vector<int32_t> columns;  // mesh numbers of a row's column panels
    for (int32_t i = node.first; i < node.first + node.count; ++i) {
      const int64_t e = near.row_start[i];
      columns.clear();
      auto put = [&](int32_t j) {
        near.col[e + static_cast<int64_t>(columns.size())] = j;
        columns.push_back(tree.panel[j]);
      };
      put(i);
      for (int32_t b : partners[leaf]) {
        const ClusterNode& other = tree.nodes[b];
        for (int32_t j = other.first; j < other.first + other.count; ++j) {
          if (j != i) put(j);
        }
      }
      near_row_values(cache, mesh, &medium, tree.panel[i], columns.data(),
                      static_cast<int64_t>(columns.size()), &near.value[e]);
    }
  });
  return near;
}

void near_rows_multiply(const NearRows& N, const Lanes<kNarrowLanes>* x, Lanes<kNarrowLanes>* y) {
  for (int32_t i = 0; i < N.n; ++i) {
    double sum[kNarrowLanes] = {};
    for (int64_t e = N.row_start[i]; e < N.row_start[i + 1]; ++e) {
      const double a = N.value[e];
      const Lanes<kNarrowLanes>& xj = x[N.col[e]];
      for (int32_t w = 0; w < kNarrowLanes; ++w) sum[w] += a * xj.lane[w];
    }
    for (int32_t w = 0; w < kNarrowLanes; ++w) y[i].lane[w] = sum[w];
  }
}
