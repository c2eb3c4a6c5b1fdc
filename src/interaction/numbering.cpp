#include <vector>

#include "model/capacitance_extractor.h"

void CapacitanceExtractor::number_unknowns() {
  for (uint32_t k = 0; k < panel_count; ++k) {
    Panel& panel = panels[static_cast<int32_t>(k)];
    if (panel.first_child == -1) leaf_list.push_back(static_cast<int32_t>(k));
    if (panel.child_kind != kSecondChild) {
      panel.unknown_number = unknown_count;
      unknown_count += 1;
    }
  }
}

bool CapacitanceExtractor::add_same_origin_pairs() {
  // Every pair (a, b), a <= b, of leaf_list positions whose leaves share an
  // input panel, in the order of a, then b. Grouping the leaves by input panel
  // (each group in leaf_list order) visits only those pairs, instead of all
  // pairs of leaves of the whole structure.
  std::vector<uint32_t> group_start(input_panel_count + 1, 0);
  for (int32_t leaf : leaf_list) group_start[panels[leaf].root_index + 1] += 1;
  for (uint32_t root = 0; root < input_panel_count; ++root) {
    group_start[root + 1] += group_start[root];
  }
  std::vector<int32_t> grouped(leaf_list.size());
  std::vector<uint32_t> fill = group_start;
  for (int32_t leaf : leaf_list) grouped[fill[panels[leaf].root_index]++] = leaf;

  std::vector<uint32_t> cursor = group_start;
  for (int32_t i : leaf_list) {
    int32_t root = panels[i].root_index;
    uint32_t end = group_start[root + 1];
    for (uint32_t k = cursor[root]; k < end; ++k) {
      int32_t j = grouped[k];
      double p = PotentialEstimation(panels[i], panels[j]);
      if (failure.occurred()) return false;
      interaction_list.push_back(InteractionEntry{i, j, p});
    }
    cursor[root] += 1;
  }
  return true;
}
