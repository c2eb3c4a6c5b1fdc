#include "fine/far_field/far_field.h"

#include <algorithm>
#include <cmath>

#include "common/huge_pages.h"
#include "common/parallel_for.h"
#include "common/vector_bytes.h"
#include "fine/far_field/far_field_images.h"
#include "fine/far_field/far_product.h"
#include "structure/space_box.h"

namespace {

/// The lowest degree from 2 whose bound ratio^(degree+1) is within that of `highest` at
/// `separation`; the ratios are those of the decision grid, so the same structure in another
/// unit gets the same degrees.
int32_t pair_degree(double ratio, double separation, int32_t highest) {
  const double bound = std::pow(separation, highest + 1);
  for (int32_t degree = 2; degree < highest; ++degree) {
    if (std::pow(ratio, degree + 1) <= bound) return degree;
  }
  return highest;
}

/// The leaves in the order of their panels, the moments of each panel's unit charge about its
/// leaf's centre, and where some rows take the normal derivative, the moments of every row.
void add_leaves(const LevelMesh& mesh, const ClusterTree& tree, const std::vector<char>* normal_row,
                FarFieldTables& F) {
  const int32_t nodes = static_cast<int32_t>(tree.nodes.size());
  F.parent.resize(nodes);
  F.children.resize(2 * static_cast<size_t>(nodes));
  for (int32_t k = 0; k < nodes; ++k) {
    const ClusterNode& node = tree.nodes[k];
    F.parent[k] = node.parent;
    F.children[2 * k] = node.child[0];
    F.children[2 * k + 1] = node.child[1];
    if (node.child[0] < 0) F.leaf_node.push_back(k);
  }
  std::sort(F.leaf_node.begin(), F.leaf_node.end(),
            [&](int32_t a, int32_t b) { return tree.nodes[a].first < tree.nodes[b].first; });
  F.node_leaf.assign(nodes, -1);
  for (size_t l = 0; l < F.leaf_node.size(); ++l)
    F.node_leaf[F.leaf_node[l]] = static_cast<int32_t>(l);
  std::vector<int32_t> depth(nodes, 1);
  for (int32_t k = 0; k < nodes; ++k) {  // parents come before their children
    if (F.parent[k] < 0) {
      F.roots.push_back(k);
    } else {
      depth[k] = depth[F.parent[k]] + 1;
    }
    F.depth = std::max(F.depth, depth[k]);
  }
  F.charge = PanelMoments(static_cast<int32_t>(tree.panel.size()), F.terms, F.kept_degree);
  const bool tests = normal_row != nullptr && !normal_row->empty();
  if (tests) F.test = PanelMoments(static_cast<int32_t>(tree.panel.size()), F.terms, F.kept_degree);
  double axis[3][kHighestDegree + 1];
  for (int32_t leaf : F.leaf_node) {
    const ClusterNode& node = tree.nodes[leaf];
    F.leaf_first.push_back(node.first);
    for (int32_t i = node.first; i < node.first + node.count; ++i) {
      const SpaceBox box = space_box(mesh.panels[tree.panel[i]].rect);
      rectangle_axis_moments(F.terms, box.lo, box.hi, node.centre, axis);
      F.charge.set(i, F.terms, axis);
      if (!tests) continue;
      const AxisRect& rect = mesh.panels[tree.panel[i]].rect;
      if ((*normal_row)[tree.panel[i]]) {
        rectangle_normal_axis_moments(F.terms, box.lo, box.hi, node.centre, rect.axis, axis);
      }
      F.test.set(i, F.terms, axis);
    }
  }
  F.leaf_first.push_back(static_cast<int32_t>(tree.panel.size()));
}

/// The degree of each far pair; each node's degree, the highest of its pairs' and its
/// ancestors'; and the places of the nodes' expansions in a work space.
std::vector<int32_t> add_degrees(const ClusterTree& tree, const InteractionLists& lists,
                                 double separation, FarFieldTables& F) {
  const int32_t nodes = static_cast<int32_t>(tree.nodes.size());
  const int32_t highest = F.terms.highest;
  std::vector<int32_t> degree;
  degree.reserve(lists.far.size());
  F.node_degree.assign(nodes, 0);
  for (const auto& pair : lists.far) {
    degree.push_back(pair_degree(tree.radius_ratio(pair.first, pair.second), separation, highest));
    F.node_degree[pair.first] = std::max(F.node_degree[pair.first], degree.back());
    F.node_degree[pair.second] = std::max(F.node_degree[pair.second], degree.back());
  }
  for (int32_t k = 1; k < nodes; ++k) {  // parents come before their children
    if (F.parent[k] >= 0) F.node_degree[k] = std::max(F.node_degree[k], F.node_degree[F.parent[k]]);
  }
  F.offset.resize(nodes);
  F.kept_offset.resize(nodes);
  for (int32_t k = 0; k < nodes; ++k) {
    F.kept_offset[k] = F.kept_blocks;
    F.kept_blocks += terms_up_to(std::min(F.kept_degree, F.node_degree[k]));
    F.offset[k] = F.blocks;
    F.blocks += terms_up_to(F.node_degree[k]);
  }
  return degree;
}

/// The factors that move each node's expansions to and from its parent's centre.
void add_shifts(const ClusterTree& tree, FarFieldTables& F) {
  const int32_t nodes = static_cast<int32_t>(tree.nodes.size());
  std::vector<double> factor(F.terms.count);
  F.shift_offset.resize(nodes);
  int64_t total = 0;  // reserved at once: a vector grown by doubling would hold up to twice
  for (int32_t k = 1; k < nodes; ++k) {
    if (F.parent[k] >= 0) total += terms_up_to(F.node_degree[F.parent[k]]);
  }
  F.shift.reserve(total);
  for (int32_t k = 0; k < nodes; ++k) {
    F.shift_offset[k] = static_cast<int64_t>(F.shift.size());
    if (F.parent[k] < 0) continue;
    const double* centre = tree.nodes[k].centre;
    const double* up = tree.nodes[F.parent[k]].centre;
    shift_factors(F.terms, centre[0] - up[0], centre[1] - up[1], centre[2] - up[2], factor.data());
    const int32_t used = terms_up_to(F.node_degree[F.parent[k]]);
    F.shift.insert(F.shift.end(), factor.begin(), factor.begin() + used);
  }
}

/// The two sides of each far pair in the lists of its nodes, each pair's tensor up to the kept
/// degree (the derivatives of 1/r at the pair's second centre less its first), read by both
/// sides, and the nodes' centres, from which the products above the kept degree make each pair's
/// tensor as they visit it.
void add_pairs(const ClusterTree& tree, const InteractionLists& lists,
               const std::vector<int32_t>& degree, FarFieldTables& F) {
  const int32_t nodes = static_cast<int32_t>(tree.nodes.size());
  const int32_t kept_terms = terms_up_to(F.kept_degree);
  F.signs = F.terms.parity;  // row kParitySign
  F.pairs = static_cast<int64_t>(lists.far.size());
  F.centre.resize(3 * static_cast<size_t>(nodes));
  for (int32_t k = 0; k < nodes; ++k) {
    for (int a = 0; a < 3; ++a) F.centre[3 * k + a] = tree.nodes[k].centre[a];
  }
  F.side_start.assign(nodes + 1, 0);
  for (const auto& pair : lists.far) {
    F.side_start[pair.first + 1] += 1;
    F.side_start[pair.second + 1] += 1;
  }
  for (int32_t k = 0; k < nodes; ++k) F.side_start[k + 1] += F.side_start[k];
  F.sides.resize(2 * lists.far.size());
  assign_advised(F.kept_tensors, lists.far.size() * kept_terms, 0.0);
  std::vector<int32_t> fill(F.side_start.begin(), F.side_start.end() - 1);
  double derivative[kMostTerms];
  for (size_t l = 0; l < lists.far.size(); ++l) {
    const int32_t a = lists.far[l].first, b = lists.far[l].second;
    const int32_t used = std::min(kept_terms, terms_up_to(degree[l]));
    pair_tensor(F, a, b, std::min(F.kept_degree, degree[l]), derivative);
    const int64_t at = static_cast<int64_t>(l) * kept_terms;
    F.sides[fill[a]++] = FarLinkSide{b, degree[l], at, kUnsigned, kParitySign};
    F.sides[fill[b]++] = FarLinkSide{a, degree[l], at, kParitySign, kParitySign};
    std::copy(derivative, derivative + used, &F.kept_tensors[at]);
  }
}

/// In a layer stack: each side's tensor up to the kept degree, with its sign pattern τ applied.
void add_kept_tensors(FarFieldTables& F) {
  const int32_t count = F.terms.count;
  const int32_t kept_terms = terms_up_to(F.kept_degree);
  assign_advised(F.kept_tensors, F.sides.size() * kept_terms, 0.0);
  for (size_t e = 0; e < F.sides.size(); ++e) {
    const FarLinkSide& side = F.sides[e];
    const double* T = &F.tensors[side.tensor];
    double* kept = &F.kept_tensors[e * kept_terms];
    const int32_t used = std::min(kept_terms, terms_up_to(side.degree));
    for (int32_t t = 0; t < used; ++t) {
      kept[t] = side.tensor_sign == kUnsigned ? T[t] : F.signs[side.tensor_sign * count + t] * T[t];
    }
  }
}

}  // namespace

void pair_tensor(const FarFieldTables& F, int32_t first, int32_t second, int32_t degree,
                 double* T) {
  const double* a = &F.centre[3 * static_cast<int64_t>(first)];
  const double* b = &F.centre[3 * static_cast<int64_t>(second)];
  inverse_distance_derivatives(F.terms, degree, b[0] - a[0], b[1] - a[1], b[2] - a[2], T);
}

FarFieldWork::FarFieldWork(int64_t blocks)
    : space(new_advised_array<Lanes<kNarrowLanes>>(2 * blocks)), blocks(2 * blocks) {}

FarFieldWork::FarFieldWork(const FarField& far)
    : space(new_advised_array<Lanes<kNarrowLanes>>(far.least_work_blocks())),
      blocks(far.least_work_blocks()) {}

FarField::FarField(const LevelMesh& mesh, const ClusterTree& tree, const InteractionLists& lists,
                   int32_t highest, int32_t kept, double separation, const FarFieldMedium* medium)
    : tables_(highest) {
  tables_.kept_degree = std::min(kept, highest);
  add_leaves(mesh, tree, medium != nullptr ? &medium->normal_row : nullptr, tables_);
  const std::vector<int32_t> degree = add_degrees(tree, lists, separation, tables_);
  add_shifts(tree, tables_);
  if (medium != nullptr && medium->kernel != nullptr) {
    add_image_pairs(tree, lists, degree, *medium, tables_);
    add_kept_tensors(tables_);
  } else {
    add_pairs(tree, lists, degree, tables_);
  }
}

void FarField::add_product(int32_t degree, const Lanes<kNarrowLanes>* x, Lanes<kNarrowLanes>* y,
                           FarFieldWork& work, InstructionSet set) const {
  far_product(set)(tables_, std::min(degree, tables_.terms.highest), x, y, work.space.get(),
                   work.blocks);
}

namespace {

/// The depth at which add_locals deals out subtrees: the first with at least eight times as many
/// nodes (or leaves above it) as `threads`, so that the last subtrees taken are small beside
/// the rest; the nodes above it are made by every thread.
int32_t split_depth(const FarFieldTables& F, int32_t threads) {
  std::vector<int32_t> depth(F.parent.size(), 0);
  std::vector<int64_t> at_depth(static_cast<size_t>(F.depth) + 1, 0);  // nodes, and leaves above
  for (size_t k = 0; k < F.parent.size(); ++k) {
    if (F.parent[k] >= 0) depth[k] = depth[F.parent[k]] + 1;
  }
  for (size_t k = 0; k < F.parent.size(); ++k) {
    const bool leaf = F.children[2 * k] < 0;
    for (int32_t d = depth[k]; d <= (leaf ? F.depth : depth[k]); ++d) at_depth[d] += 1;
  }
  for (int32_t d = 0; d <= F.depth; ++d) {
    if (at_depth[d] >= 8 * int64_t{threads}) return d;
  }
  return F.depth;
}

}  // namespace

void FarField::make_moments(int32_t degree, const Lanes<kNarrowLanes>* x,
                            Lanes<kNarrowLanes>* moments, InstructionSet set) const {
  shared_far_product(set).moments(tables_, std::min(degree, tables_.terms.highest), x, moments);
}

void FarField::add_locals(int32_t degree, const Lanes<kNarrowLanes>* moments,
                          Lanes<kNarrowLanes>* y, Lanes<kNarrowLanes>* path,
                          std::atomic<int32_t>& next, int32_t threads, InstructionSet set) const {
  shared_far_product(set).locals(tables_, std::min(degree, tables_.terms.highest), moments, y, path,
                                 split_depth(tables_, threads), next);
}

void FarField::add_product_together(int32_t degree, const Lanes<kNarrowLanes>* x,
                                    Lanes<kNarrowLanes>* y, FarFieldWork& work, int32_t threads,
                                    InstructionSet set, const std::function<void()>& beside) const {
  if (threads <= 1) {
    beside();
    add_product(degree, x, y, work, set);
    return;
  }
  Lanes<kNarrowLanes>* moments = work.space.get();
  parallel_for(2, threads, [&](int64_t part, int32_t) {
    if (part == 0) {
      beside();
    } else {
      make_moments(degree, x, moments, set);
    }
  });
  const int32_t sharing = parallel_for_threads(threads, threads);
  std::atomic<int32_t> next{0};
  parallel_for(sharing, threads, [&](int64_t, int32_t) {
    std::unique_ptr<Lanes<kNarrowLanes>[]> path(new Lanes<kNarrowLanes>[path_blocks()]);
    add_locals(degree, moments, y, path.get(), next, sharing, set);
  });
}

int64_t FarField::least_work_blocks() const {
  const FarFieldTables& F = tables_;
  return std::max(2 * F.kept_blocks, depth_first_blocks(F));
}

int64_t FarField::work_bytes() const {
  return least_work_blocks() * static_cast<int64_t>(sizeof(Lanes<kNarrowLanes>));
}

int64_t FarField::bytes() const {
  const FarFieldTables& F = tables_;
  return F.terms.bytes() + F.charge.bytes() + F.test.bytes() +
         vectors_bytes(F.parent, F.children, F.node_degree, F.offset, F.kept_offset, F.leaf_node,
                       F.leaf_first, F.node_leaf, F.roots, F.shift_offset, F.shift, F.side_start,
                       F.sides, F.tensors, F.kept_tensors, F.signs, F.centre);
}
