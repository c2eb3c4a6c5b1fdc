#include "model/capacitance_extractor.h"

bool CapacitanceExtractor::refine_all_pairs() {
  for (uint32_t i = 0; i < input_panel_count; ++i) {
    for (uint32_t j = i + 1; j < input_panel_count; ++j) {
      if (!refine_pair(static_cast<int32_t>(i), static_cast<int32_t>(j))) return false;
    }
  }
  return true;
}

bool CapacitanceExtractor::refine_pair(int32_t i, int32_t j) {
  // The pair is replaced by (first child, other) and then (second child,
  // other). The first is a recursive call; the second, the last action, is
  // this loop, so the stack depth is bounded by the depths of the two trees.
  for (;;) {
    double p = PotentialEstimation(panels[i], panels[j]);
    if (failure.occurred()) return false;
    double size_i = panels[i].panel_size();
    double size_j = panels[j].panel_size();
    if (size_i == 0.0 || size_j == 0.0) {
      failure = Failure{"Ri and Rj not correct!"};
      return false;
    }
    bool well_separated = size_i * p < refinement_ratio && size_j * p < refinement_ratio;
    bool both_small = (size_i > size_j ? size_i : size_j) <= min_refine_size;
    if (well_separated || both_small) {
      interaction_list.push_back(InteractionEntry{i, j, p});
      return true;
    }
    // Split the larger panel; on equal sizes the second one.
    int32_t& split = size_i > size_j ? i : j;
    if (!panels[split].is_split && !subdivide_panel(panels[split])) return false;
    int32_t first_child = panels[split].first_child;
    int32_t second_child = panels[split].second_child;
    const bool first_refined =
        &split == &i ? refine_pair(first_child, j) : refine_pair(i, first_child);
    if (!first_refined) return false;
    split = second_child;
  }
}
