#include "fine/far_field/far_field.h"

#include <algorithm>
#include <cmath>

namespace {

/// The lowest order from 2 whose bound ratio^(order+1) is within that of `highest` at
/// `separation`; the ratios are those of the decision grid, so the same structure in another
/// unit gets the same orders.
int32_t link_order(double ratio, double separation, int32_t highest) {
  const double bound = std::pow(separation, highest + 1);
  for (int32_t order = 2; order < highest; ++order) {
    if (std::pow(ratio, order + 1) <= bound) return order;
  }
  return highest;
}

}  // namespace

FarField::FarField(const LevelMesh& mesh, const ClusterTree& tree, const InteractionLists& lists,
                   int32_t order, double separation, int32_t stored)
    : terms(order),
      node_count(static_cast<int32_t>(tree.nodes.size())),
      stored_order(std::min(stored, order)) {
  const int32_t count = terms.count;
  for (int32_t q = 0; q <= order; ++q) terms_up_to.push_back((q + 1) * (q + 2) * (q + 3) / 6);
  const int32_t kept = terms_up_to[stored_order];
  parent.resize(node_count);
  child.resize(2 * static_cast<size_t>(node_count));
  node_order.assign(node_count, 0);
  panel_moment.assign(tree.panel.size() * kept, 0.0);
  panel_bounds.resize(tree.panel.size() * 6);
  std::vector<double> moment(count);
  for (int32_t k = 0; k < node_count; ++k) {
    const ClusterNode& node = tree.nodes[k];
    parent[k] = node.parent;
    child[2 * k] = node.child[0];
    child[2 * k + 1] = node.child[1];
    if (node.child[0] >= 0) continue;
    leaf_node.push_back(k);
    leaf_first.push_back(node.first);
    for (int32_t i = node.first; i < node.first + node.count; ++i) {
      double* lo = &panel_bounds[static_cast<size_t>(i) * 6];
      rect_bounds(mesh.panels[tree.panel[i]].rect, lo, lo + 3);
      rectangle_moments(terms, lo, lo + 3, node.centre, moment.data());
      std::copy(moment.begin(), moment.begin() + kept,
                &panel_moment[static_cast<size_t>(i) * kept]);
    }
  }
  // Leaves are in node order, which is not panel order; the end of each leaf is its first panel
  // plus its count, kept as the next entry by sorting on panels.
  std::vector<int32_t> by_panel(leaf_node.size());
  for (size_t k = 0; k < by_panel.size(); ++k) by_panel[k] = static_cast<int32_t>(k);
  std::sort(by_panel.begin(), by_panel.end(),
            [&](int32_t a, int32_t b) { return leaf_first[a] < leaf_first[b]; });
  std::vector<int32_t> nodes_sorted, firsts_sorted;
  for (int32_t k : by_panel) {
    nodes_sorted.push_back(leaf_node[k]);
    firsts_sorted.push_back(leaf_first[k]);
  }
  leaf_node = nodes_sorted;
  leaf_first = firsts_sorted;
  leaf_first.push_back(static_cast<int32_t>(tree.panel.size()));
  for (int32_t node : leaf_node) {
    for (int a = 0; a < 3; ++a) leaf_centre.push_back(tree.nodes[node].centre[a]);
  }

  links.reserve(lists.far.size());
  for (const auto& pair : lists.far) {
    const ClusterNode& a = tree.nodes[pair.first];
    const ClusterNode& b = tree.nodes[pair.second];
    double sum = 0.0;
    for (int k = 0; k < 3; ++k) {
      double d =
          0.5 * static_cast<double>((a.grid_lo[k] + a.grid_hi[k]) - (b.grid_lo[k] + b.grid_hi[k]));
      sum += d * d;
    }
    double ratio = (tree.grid_radius(pair.first) + tree.grid_radius(pair.second)) / std::sqrt(sum);
    int32_t link = link_order(ratio, separation, order);
    links.push_back(Link{pair.first, pair.second, link});
    node_order[pair.first] = std::max(node_order[pair.first], link);
    node_order[pair.second] = std::max(node_order[pair.second], link);
  }
  // Parents come before their children.
  for (int32_t k = 1; k < node_count; ++k)
    node_order[k] = std::max(node_order[k], node_order[parent[k]]);

  node_offset.resize(node_count);
  stored_offset.resize(node_count);
  int64_t stored_blocks = 0;
  for (int32_t k = 0; k < node_count; ++k) {
    stored_offset[k] = stored_blocks;
    stored_blocks += terms_up_to[std::min(stored_order, node_order[k])];
  }
  block_count = 0;
  for (int32_t k = 0; k < node_count; ++k) {
    node_offset[k] = block_count;
    block_count += terms_up_to[node_order[k]];
  }

  shift_offset.resize(node_count);
  for (int32_t k = 0; k < node_count; ++k) {
    shift_offset[k] = static_cast<int64_t>(shift.size());
    if (parent[k] < 0) continue;
    const ClusterNode& node = tree.nodes[k];
    const ClusterNode& up = tree.nodes[parent[k]];
    shift_factors(terms, node.centre[0] - up.centre[0], node.centre[1] - up.centre[1],
                  node.centre[2] - up.centre[2], moment.data());
    shift.insert(shift.end(), moment.begin(), moment.begin() + terms_up_to[node_order[parent[k]]]);
  }
  derivative_offset.resize(links.size());
  for (size_t l = 0; l < links.size(); ++l) {
    const double* a = tree.nodes[links[l].a].centre;
    const double* b = tree.nodes[links[l].b].centre;
    inverse_distance_derivatives(terms, links[l].order, b[0] - a[0], b[1] - a[1], b[2] - a[2],
                                 moment.data());
    derivative_offset[l] = static_cast<int64_t>(derivative.size());
    const int32_t used = terms_up_to[links[l].order];
    derivative.insert(derivative.end(), moment.begin(), moment.begin() + used);
  }
  link_start.assign(node_count + 1, 0);
  for (const Link& link : links) {
    link_start[link.a + 1] += 1;
    link_start[link.b + 1] += 1;
  }
  for (int32_t k = 0; k < node_count; ++k) link_start[k + 1] += link_start[k];
  link_list.resize(2 * links.size());
  std::vector<int32_t> fill(link_start.begin(), link_start.end() - 1);
  for (size_t l = 0; l < links.size(); ++l) {
    link_list[fill[links[l].a]++] = static_cast<int32_t>(2 * l + 1);
    link_list[fill[links[l].b]++] = static_cast<int32_t>(2 * l);
  }
  const int32_t stored_terms = terms_up_to[stored_order];
  stored_derivative.resize(link_list.size() * stored_terms);
  for (size_t e = 0; e < link_list.size(); ++e) {
    const int32_t l = link_list[e] >> 1;
    const bool is_a = (link_list[e] & 1) != 0;
    const int32_t used = terms_up_to[links[l].order];
    const double* d = &derivative[derivative_offset[l]];
    // A pair of lower degree keeps fewer derivatives than are stored: zeros above its own.
    for (int32_t t = 0; t < stored_terms; ++t) {
      const bool same_sign = is_a || terms.degree[t] % 2 == 0;
      stored_derivative[e * stored_terms + t] = t >= used ? 0.0 : same_sign ? d[t] : -d[t];
    }
  }

  sum_index.assign(static_cast<size_t>(count) * count, -1);
  parity.resize(count);
  for (int32_t out = 0; out < count; ++out) {
    parity[out] = terms.degree[out] % 2 == 0 ? 1.0 : -1.0;
    for (int32_t in = 0; in < count; ++in) {
      sum_index[out * count + in] = static_cast<int16_t>(terms.index(
          terms.t[out] + terms.t[in], terms.u[out] + terms.u[in], terms.v[out] + terms.v[in]));
    }
  }
  for (int32_t alpha = 0; alpha < count; ++alpha) {
    part_start.push_back(static_cast<int32_t>(part_low.size()));
    for (int32_t gamma = 0; gamma < count; ++gamma) {
      int32_t a = terms.t[alpha] - terms.t[gamma], b = terms.u[alpha] - terms.u[gamma],
              c = terms.v[alpha] - terms.v[gamma];
      if (a < 0 || b < 0 || c < 0) continue;
      part_low.push_back(static_cast<int16_t>(gamma));
      part_shift.push_back(static_cast<int16_t>(terms.index(a, b, c)));
    }
  }
  part_start.push_back(static_cast<int32_t>(part_low.size()));
}
