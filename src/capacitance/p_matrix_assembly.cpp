#include <vector>

#include "run/capacitance_extractor.h"
#include "sparse/sparse_matrix.h"

namespace {

/// The charge expansion of a second child x: the charge of x is its anchor's
/// (nearest ancestor that is not a second child) minus the first children met
/// on the way up. Collects those first children bottom up and returns the
/// anchor.
int32_t expand_second_child(const PanelVector& panels, int32_t x, std::vector<int32_t>& minus) {
  minus.clear();
  int32_t y = x;
  for (;;) {
    int32_t p = panels[y].parent;
    minus.push_back(panels[p].first_child);
    if (panels[p].child_kind != 1) return p;
    y = p;
  }
}

bool is_second_child(const Panel& panel) { return panel.child_kind == 1; }

}  // namespace

void CapacitanceExtractor::assemble_p_matrix() {
  p_matrix = std::make_unique<SparseMatrix>(unknown_count, unknown_count, SYMM);
  SparseMatrix& p = *p_matrix;
  auto add = [&](int32_t x, int32_t y, double w, int32_t flag) {
    p.accumulate_symmetric(panels[x].unknown_number, panels[y].unknown_number, w, flag);
  };

  // Scratch for the minus terms of the two expansions, reused for every entry.
  std::vector<int32_t> s;
  std::vector<int32_t> t;
  for (const InteractionEntry& entry : interaction_list) {
    int32_t a = entry.panel_i;
    int32_t b = entry.panel_j;
    double v = entry.p_ij;
    bool a_second = is_second_child(panels[a]);
    bool b_second = is_second_child(panels[b]);

    if (!a_second && !b_second) {
      add(a, b, v, 0);
    } else if (a_second != b_second) {
      // One pair of different panels: P += v * (o's row) x (expansion of s).
      int32_t second = a_second ? a : b;
      int32_t other = a_second ? b : a;
      int32_t anchor = expand_second_child(panels, second, s);
      for (int32_t term : s) add(other, term, -v, 1);
      add(other, anchor, v, 1);
    } else if (a != b) {
      // Every product of a term of a with a term of b, flag 1.
      int32_t anchor_a = expand_second_child(panels, a, s);
      int32_t anchor_b = expand_second_child(panels, b, t);
      std::size_t k = s.size();
      std::size_t l = t.size();
      for (std::size_t m = 0; m + 1 < k; ++m) {
        for (int32_t term : t) add(s[m], term, v, 1);
        add(s[m], anchor_b, -v, 1);
      }
      for (std::size_t m = 0; m + 1 < l; ++m) {
        add(anchor_a, t[m], -v, 1);
        add(s[k - 1], t[m], v, 1);
      }
      add(s[k - 1], t[l - 1], v, 1);
      add(s[k - 1], anchor_b, -v, 1);
      add(anchor_a, t[l - 1], -v, 1);
      add(anchor_a, anchor_b, v, 1);
    } else {
      // Self entry of a second child: the square of its expansion, each
      // unordered pair of terms once, flag 0.
      int32_t anchor = expand_second_child(panels, a, s);
      std::size_t k = s.size();
      for (std::size_t m = 0; m + 1 < k; ++m) {
        add(s[m], s[m], v, 0);
        for (std::size_t later = m + 1; later < k; ++later) add(s[m], s[later], v, 0);
        add(s[m], anchor, -v, 0);
      }
      add(anchor, s[k - 1], -v, 0);
      add(s[k - 1], s[k - 1], v, 0);
      add(anchor, anchor, v, 0);
    }
  }
  p.rebuild_links();
}
