#include "fine/solve/near_field.h"

#include <algorithm>
#include <memory>

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

CoefficientCache::Probe NearMedium::probe(CoefficientCache& cache, const LevelMesh& mesh, int32_t a,
                                          int32_t b) const {
  const int32_t source = layer[b], target = layer[a];
  const bool normal = !normal_row.empty() && normal_row[a];
  return cache.layered_probe(mesh.panels[a].rect, mesh.panels[b].rect, kernel->pair(source, target),
                             static_cast<int64_t>(source) * layers + target, normal);
}

void near_row_values(CoefficientCache& cache, const LevelMesh& mesh, const NearMedium* medium,
                     int32_t a, const int32_t* columns, int64_t count, double* values) {
  // Far enough ahead that a slot's miss (some 100 ns on a loaded machine) overlaps the pairs
  // computed meanwhile, near enough that the probes stay in the first-level cache.
  constexpr int64_t kAhead = 4;
  CoefficientCache::Probe ring[kAhead];
  auto probe = [&](int64_t k) {
    return medium != nullptr ? medium->probe(cache, mesh, a, columns[k])
                             : cache.probe(mesh.panels[a].rect, mesh.panels[columns[k]].rect);
  };
  for (int64_t k = 0; k < std::min(count, kAhead); ++k) ring[k] = probe(k);
  for (int64_t k = 0; k < count; ++k) {
    values[k] = cache.value(ring[k % kAhead]);
    if (k + kAhead < count) ring[k % kAhead] = probe(k + kAhead);
  }
}

NearField make_near_field(const LevelMesh& mesh, const ClusterTree& tree,
                          const InteractionLists& lists, int32_t threads, const NearMedium* medium,
                          double far_tolerance) {
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
  // Every entry is written below, each page first by the thread that computes its rows.
  resize_first_touch(near.col, near.row_start[n]);
  resize_first_touch(near.value, near.row_start[n]);
  near.diagonal.resize(n);
  // Each thread's cache made by the thread itself, both at once: a cache is 12 MiB to clear.
  std::vector<std::unique_ptr<CoefficientCache>> caches(
      parallel_for_threads(leaves.size(), threads));
  parallel_for(static_cast<int64_t>(leaves.size()), threads, [&](int64_t k, int32_t thread) {
    if (caches[thread] == nullptr)
      caches[thread] = std::make_unique<CoefficientCache>(far_tolerance);
    CoefficientCache& cache = *caches[thread];
    int32_t leaf = leaves[k];
    const ClusterNode& node = tree.nodes[leaf];
    std::vector<int32_t> columns;  // mesh numbers of a row's column panels
    for (int32_t i = node.first; i < node.first + node.count; ++i) {
      const int32_t a = tree.panel[i];
      near_row_values(cache, mesh, medium, a, &a, 1, &near.diagonal[i]);
      const int64_t e = near.row_start[i];
      columns.clear();
      auto put = [&](int32_t j) {
        near.col[e + static_cast<int64_t>(columns.size())] = j;
        columns.push_back(tree.panel[j]);
      };
      for (int32_t j = i + 1; j < node.first + node.count; ++j) put(j);
      for (int32_t b : partners[leaf]) {
        const ClusterNode& other = tree.nodes[b];
        for (int32_t j = other.first; j < other.first + other.count; ++j) put(j);
      }
      near_row_values(cache, mesh, medium, a, columns.data(), static_cast<int64_t>(columns.size()),
                      &near.value[e]);
    }
  });
  return near;
}
