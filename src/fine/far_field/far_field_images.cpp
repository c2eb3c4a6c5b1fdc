#include "fine/far_field/far_field_images.h"

#include <algorithm>
#include <cmath>

namespace {

/// The sign rows of a layer stack after (−1)^degree: (−1)^v and (−1)^(t + u).
void add_mirror_signs(FarFieldTables& F) {
  const TaylorTerms& terms = F.terms;
  F.signs = terms.parity;  // row kParitySign
  for (int32_t k = 0; k < terms.count; ++k) F.signs.push_back(terms.v[k] % 2 == 0 ? 1.0 : -1.0);
  for (int32_t k = 0; k < terms.count; ++k)
    F.signs.push_back((terms.t[k] + terms.u[k]) % 2 == 0 ? 1.0 : -1.0);
}

/// The two tensors of one pair, T_t and T_m, up to `degree`; `has` tells which have images.
struct PairTensors {
  std::vector<double> moved;     // T_t
  std::vector<double> mirrored;  // T_m
  bool has_moved = false;        // the kernel has moved images (the direct one among them)
  bool has_mirrored = false;     // it has mirrored ones
};

/// Adds w D^γ(1/r) at r to `tensor` for the terms up to the degree at which w ratio^(d+1) / |r|
/// falls within `allowed` (at most `degree`).
void add_image(const TaylorTerms& terms, int32_t degree, double weight, const double r[3],
               double ratio, double allowed, double* derivative, double* tensor) {
  const double distance = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
  int32_t used = 0;
  double truncation = std::fabs(weight) * ratio / distance;
  while (used < degree && truncation > allowed) {
    truncation *= ratio;
    ++used;
  }
  inverse_distance_derivatives(terms, used, r[0], r[1], r[2], derivative);
  const int32_t count = terms_up_to(used);
  for (int32_t t = 0; t < count; ++t) tensor[t] += weight * derivative[t];
}

void pair_tensors(const TaylorTerms& terms, const LayerPairKernel& kernel, int32_t degree,
                  const double* a, const double* b, double ratio, double scale, PairTensors& out) {
  const int32_t count = terms_up_to(degree);
  out.moved.assign(count, 0.0);
  out.mirrored.assign(count, 0.0);
  out.has_moved = out.has_mirrored = false;
  double derivative[kMostTerms];
  const double d[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
  const double distance = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  // The pair's own truncation at its degree for a weight `scale`, a tenth of it per image.
  const double allowed = 0.1 * scale * std::pow(ratio, degree + 1) / distance;
  for (const ImageTerm& term : kernel.terms) {
    const double r[3] = {d[0], d[1], image_z(b[2], term) - a[2]};
    const double image_distance = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
    // An image is never nearer than the source itself; the ratio cannot grow.
    const double image_ratio = ratio * std::min(1.0, distance / image_distance);
    if (term.mirror) {
      add_image(terms, degree, term.weight, r, image_ratio, allowed, derivative,
                out.mirrored.data());
      out.has_mirrored = true;
    } else {
      add_image(terms, degree, term.weight, r, image_ratio, allowed, derivative, out.moved.data());
      out.has_moved = true;
    }
  }
}

}  // namespace

void add_image_pairs(const ClusterTree& tree, const InteractionLists& lists,
                     const std::vector<int32_t>& degree, const FarFieldMedium& medium,
                     FarFieldTables& F) {
  const int32_t nodes = static_cast<int32_t>(tree.nodes.size());
  const LayerStack& stack = medium.kernel->stack();
  add_mirror_signs(F);
  F.pairs = static_cast<int64_t>(lists.far.size());
  // The sides of each pair, A's and B's of each kind: counted first, placed after.
  struct Side {
    int32_t node;      // the node that takes it
    FarLinkSide side;  // what it takes
  };
  std::vector<Side> sides;
  sides.reserve(2 * lists.far.size());
  PairTensors tensors;
  for (size_t l = 0; l < lists.far.size(); ++l) {
    const int32_t a = lists.far[l].first, b = lists.far[l].second;
    const int32_t layer_a = medium.node_layer[a], layer_b = medium.node_layer[b];
    const LayerPairKernel& kernel = medium.kernel->pair(layer_b, layer_a);
    const double scale = 1.0 / std::max(stack.permittivity[layer_a], stack.permittivity[layer_b]);
    pair_tensors(F.terms, kernel, degree[l], tree.nodes[a].centre, tree.nodes[b].centre,
                 tree.radius_ratio(a, b), scale, tensors);
    const int32_t d = degree[l];
    if (tensors.has_moved) {
      const int64_t at = static_cast<int64_t>(F.tensors.size());
      F.tensors.insert(F.tensors.end(), tensors.moved.begin(), tensors.moved.end());
      sides.push_back({a, FarLinkSide{b, d, at, kUnsigned, kParitySign}});
      sides.push_back({b, FarLinkSide{a, d, at, kParitySign, kParitySign}});
    }
    if (tensors.has_mirrored) {
      const int64_t at = static_cast<int64_t>(F.tensors.size());
      F.tensors.insert(F.tensors.end(), tensors.mirrored.begin(), tensors.mirrored.end());
      sides.push_back({a, FarLinkSide{b, d, at, kZParitySign, kXYParitySign}});
      sides.push_back({b, FarLinkSide{a, d, at, kParitySign, kXYParitySign}});
    }
  }
  F.side_start.assign(nodes + 1, 0);
  for (const Side& s : sides) F.side_start[s.node + 1] += 1;
  for (int32_t k = 0; k < nodes; ++k) F.side_start[k + 1] += F.side_start[k];
  F.sides.resize(sides.size());
  std::vector<int32_t> fill(F.side_start.begin(), F.side_start.end() - 1);
  for (const Side& s : sides) F.sides[fill[s.node]++] = s.side;
}
