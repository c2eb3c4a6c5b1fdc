#include "fine/far_field.h"

#include <algorithm>

namespace {

void bounds(const AxisRect& r, double lo[3], double hi[3]) {
  lo[r.axis] = hi[r.axis] = r.level;
  for (int k = 0; k < 2; ++k) {
    lo[(r.axis + 1 + k) % 3] = r.lo[k];
    hi[(r.axis + 1 + k) % 3] = r.hi[k];
  }
}

}  // namespace

FarField::FarField(const LevelMesh& mesh, const ClusterTree& tree_, const InteractionLists& lists,
                   int32_t order)
    : terms(order), tree(tree_), links(lists.far) {
  const int32_t count = terms.count;
  const size_t n = tree.panel.size();
  panel_moment.resize(n * count);
  shift.resize(tree.nodes.size() * count);
  for (size_t k = 0; k < tree.nodes.size(); ++k) {
    const ClusterNode& node = tree.nodes[k];
    if (node.parent >= 0) {
      const ClusterNode& parent = tree.nodes[node.parent];
      shift_factors(terms, node.centre[0] - parent.centre[0], node.centre[1] - parent.centre[1],
                    node.centre[2] - parent.centre[2], &shift[k * count]);
    }
    if (node.child[0] >= 0) continue;
    leaves.push_back(static_cast<int32_t>(k));
    for (int32_t i = node.first; i < node.first + node.count; ++i) {
      double lo[3], hi[3];
      bounds(mesh.panels[tree.panel[i]].rect, lo, hi);
      rectangle_moments(terms, lo, hi, node.centre, &panel_moment[i * count]);
    }
  }
  derivative.resize(links.size() * count);
  for (size_t l = 0; l < links.size(); ++l) {
    const double* a = tree.nodes[links[l].first].centre;
    const double* b = tree.nodes[links[l].second].centre;
    inverse_distance_derivatives(terms, b[0] - a[0], b[1] - a[1], b[2] - a[2],
                                 &derivative[l * count]);
  }
}

void multiply_far_field(const FarField& far, const double* x, double* y, int32_t lanes,
                        FarFieldWork& work) {
  const int32_t count = far.terms.count;
  const size_t nodes = far.tree.nodes.size();
  const size_t block = static_cast<size_t>(count) * lanes;  // one node's terms and lanes
  work.multipole.assign(nodes * block, 0.0);
  work.local.assign(nodes * block, 0.0);
  double* M = work.multipole.data();
  double* L = work.local.data();
  // Moments of the panels' charges about their leaf centres.
  for (int32_t leaf : far.leaves) {
    const ClusterNode& node = far.tree.nodes[leaf];
    double* m = M + leaf * block;
    for (int32_t i = node.first; i < node.first + node.count; ++i) {
      const double* moment = &far.panel_moment[static_cast<size_t>(i) * count];
      const double* xi = x + static_cast<size_t>(i) * lanes;
      for (int32_t k = 0; k < count; ++k) {
        for (int32_t w = 0; w < lanes; ++w) m[k * lanes + w] += moment[k] * xi[w];
      }
    }
  }
  // Up the tree: children come after their parents.
  for (size_t k = nodes - 1; k >= 1; --k) {
    const double* f = &far.shift[k * count];
    const double* child = M + k * block;
    double* parent = M + far.tree.nodes[k].parent * block;
    for (const TaylorTerms::Product& p : far.terms.shift) {
      for (int32_t w = 0; w < lanes; ++w)
        parent[p.sum * lanes + w] += f[p.out] * child[p.in * lanes + w];
    }
  }
  // Across the far pairs, both ways.
  for (size_t l = 0; l < far.links.size(); ++l) {
    const double* d = &far.derivative[l * count];
    const double* ma = M + far.links[l].first * block;
    const double* mb = M + far.links[l].second * block;
    double* la = L + far.links[l].first * block;
    double* lb = L + far.links[l].second * block;
    for (const TaylorTerms::Product& p : far.terms.multipole_to_local) {
      const double to_b = p.sign * d[p.sum];
      const double to_a = (far.terms.degree[p.out] % 2 == 0 ? 1.0 : -1.0) * d[p.sum];
      for (int32_t w = 0; w < lanes; ++w) {
        lb[p.out * lanes + w] += to_b * ma[p.in * lanes + w];
        la[p.out * lanes + w] += to_a * mb[p.in * lanes + w];
      }
    }
  }
  // Down the tree.
  for (size_t k = 1; k < nodes; ++k) {
    const double* f = &far.shift[k * count];
    double* child = L + k * block;
    const double* parent = L + far.tree.nodes[k].parent * block;
    for (const TaylorTerms::Product& p : far.terms.shift) {
      for (int32_t w = 0; w < lanes; ++w)
        child[p.in * lanes + w] += f[p.out] * parent[p.sum * lanes + w];
    }
  }
  // Mean potential over each panel.
  for (int32_t leaf : far.leaves) {
    const ClusterNode& node = far.tree.nodes[leaf];
    const double* l = L + leaf * block;
    for (int32_t i = node.first; i < node.first + node.count; ++i) {
      const double* moment = &far.panel_moment[static_cast<size_t>(i) * count];
      double* yi = y + static_cast<size_t>(i) * lanes;
      for (int32_t k = 0; k < count; ++k) {
        for (int32_t w = 0; w < lanes; ++w) yi[w] += moment[k] * l[k * lanes + w];
      }
    }
  }
}
