#pragma once

#include <cstdint>
#include <vector>

#include "model/interaction_entry.h"
#include "model/panel_vector.h"

/// The contributions of the interaction list to the P matrix in the hierarchical basis, in the
/// order in which they are accumulated: add(i, j, w, f) stands for one accumulation of w at the
/// unknowns (i, j), doubled on the diagonal when f is 1 (SparseMatrix::accumulate_symmetric).
/// Entries are taken in list order; within an entry the terms of the panels' charge expansions
/// come in the order below, which fixes the rounding of every accumulated sum.
template <typename Add>
void for_each_p_contribution(const PanelVector& panels,
                             const std::vector<InteractionEntry>& interaction_list, Add&& add);

namespace p_contribution_detail {

/// The charge expansion of a second child x: the charge of x is its anchor's (nearest ancestor
/// that is not a second child) minus the first children met on the way up. Collects those first
/// children bottom up and returns the anchor.
inline int32_t expand_second_child(const PanelVector& panels, int32_t x,
                                   std::vector<int32_t>& minus) {
  minus.clear();
  int32_t y = x;
  for (;;) {
    const int32_t p = panels[y].parent;
    minus.push_back(panels[p].first_child);
    if (panels[p].child_kind != kSecondChild) return p;
    y = p;
  }
}

}  // namespace p_contribution_detail

template <typename Add>
void for_each_p_contribution(const PanelVector& panels,
                             const std::vector<InteractionEntry>& interaction_list, Add&& add) {
  using p_contribution_detail::expand_second_child;
  auto term = [&](int32_t x, int32_t y, double w, int32_t flag) {
    add(panels[x].unknown_number, panels[y].unknown_number, w, flag);
  };
  // Scratch for the minus terms of the two expansions, reused for every entry.
  std::vector<int32_t> s;
  std::vector<int32_t> t;
  for (const InteractionEntry& entry : interaction_list) {
    const int32_t a = entry.panel_i;
    const int32_t b = entry.panel_j;
    const double v = entry.p_ij;
    const bool a_second = panels[a].child_kind == kSecondChild;
    const bool b_second = panels[b].child_kind == kSecondChild;

    if (!a_second && !b_second) {
      term(a, b, v, 0);
    } else if (a_second != b_second) {
      // One pair of different panels: P += v * (o's row) x (expansion of s).
      const int32_t second = a_second ? a : b;
      const int32_t other = a_second ? b : a;
      const int32_t anchor = expand_second_child(panels, second, s);
      for (int32_t minus : s) term(other, minus, -v, 1);
      term(other, anchor, v, 1);
    } else if (a != b) {
      // Every product of a term of a with a term of b, flag 1.
      const int32_t anchor_a = expand_second_child(panels, a, s);
      const int32_t anchor_b = expand_second_child(panels, b, t);
      const std::size_t k = s.size();
      const std::size_t l = t.size();
      for (std::size_t m = 0; m + 1 < k; ++m) {
        for (int32_t minus : t) term(s[m], minus, v, 1);
        term(s[m], anchor_b, -v, 1);
      }
      for (std::size_t m = 0; m + 1 < l; ++m) {
        term(anchor_a, t[m], -v, 1);
        term(s[k - 1], t[m], v, 1);
      }
      term(s[k - 1], t[l - 1], v, 1);
      term(s[k - 1], anchor_b, -v, 1);
      term(anchor_a, t[l - 1], -v, 1);
      term(anchor_a, anchor_b, v, 1);
    } else {
      // Self entry of a second child: the square of its expansion, each unordered pair of terms
      // once, flag 0.
      const int32_t anchor = expand_second_child(panels, a, s);
      const std::size_t k = s.size();
      for (std::size_t m = 0; m + 1 < k; ++m) {
        term(s[m], s[m], v, 0);
        for (std::size_t later = m + 1; later < k; ++later) term(s[m], s[later], v, 0);
        term(s[m], anchor, -v, 0);
      }
      term(anchor, s[k - 1], -v, 0);
      term(s[k - 1], s[k - 1], v, 0);
      term(anchor, anchor, v, 0);
    }
  }
}
