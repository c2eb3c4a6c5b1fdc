#include "fine/solve/near_field.h"

#include <algorithm>

#include "common/parallel_for.h"

std::vector<int32_t> leaf_nodes(const ClusterTree& tree) {
  std::vector<int32_t> leaves;
  for (size_t k = 0; k < tree.nodes.size(); ++k) {
    if (tree.nodes[k].child[0] < 0) leaves.push_back(static_cast<int32_t>(k));
  }
  return leaves;
}

double NearMedium::coefficient(CoefficientCache& cache, const LevelMesh& mesh, int32_t a,
                               int32_t b) const {
  const int32_t source = layer[b], target = layer[a];
  const bool normal = !normal_row.empty() && normal_row[a];
  return cache.layered(mesh.panels[a].rect, mesh.panels[b].rect, kernel->pair(source, target),
                       static_cast<int64_t>(source) * layers + target, normal);
}

NearField make_near_field(const LevelMesh& mesh, const ClusterTree& tree,
                          const InteractionLists& lists, int32_t threads,
                          const NearMedium* medium) {
  NearField near;
  const int32_t n = static_cast<int32_t>(tree.panel.size());
  near.n = n;
  // The partner leaves of each leaf, in the order of their panels.
  std::vector<std::vector<int32_t>> partners(tree.nodes.size());
  for (const auto& pair : lists.near) {
    if (pair.first != pair.second) partners[pair.first].push_back(pair.second);
  }
  const std::vector<int32_t> leaves = leaf_nodes(tree);
  near.row_start.assign(n + 1, 0);
  for (int32_t leaf : leaves) {
    std::vector<int32_t>& list = partners[leaf];
    std::sort(list.begin(), list.end(),
              [&](int32_t a, int32_t b) { return tree.nodes[a].first < tree.nodes[b].first; });
    int64_t others = 0;
    for (int32_t b : list) others += tree.nodes[b].count;
    const ClusterNode& node = tree.nodes[leaf];
    for (int32_t i = node.first; i < node.first + node.count; ++i) {
      near.row_start[i + 1] = (node.first + node.count - 1 - i) + others;
    }
  }
  for (int32_t i = 0; i < n; ++i) near.row_start[i + 1] += near.row_start[i];
  near.col.resize(near.row_start[n]);
  near.value.resize(near.row_start[n]);
  near.diagonal.resize(n);
  std::vector<CoefficientCache> caches(parallel_for_threads(leaves.size(), threads));
  parallel_for(static_cast<int64_t>(leaves.size()), threads, [&](int64_t k, int32_t thread) {
    CoefficientCache& cache = caches[thread];
    int32_t leaf = leaves[k];
    const ClusterNode& node = tree.nodes[leaf];
    auto value = [&](int32_t i, int32_t j) {
      const int32_t a = tree.panel[i], b = tree.panel[j];
      if (medium != nullptr) return medium->coefficient(cache, mesh, a, b);
      return cache.coefficient(mesh.panels[a].rect, mesh.panels[b].rect);
    };
    for (int32_t i = node.first; i < node.first + node.count; ++i) {
      near.diagonal[i] = value(i, i);
      int64_t e = near.row_start[i];
      auto put = [&](int32_t j) {
        near.col[e] = j;
        near.value[e] = value(i, j);
        ++e;
      };
      for (int32_t j = i + 1; j < node.first + node.count; ++j) put(j);
      for (int32_t b : partners[leaf]) {
        const ClusterNode& other = tree.nodes[b];
        for (int32_t j = other.first; j < other.first + other.count; ++j) put(j);
      }
    }
  });
  return near;
}
