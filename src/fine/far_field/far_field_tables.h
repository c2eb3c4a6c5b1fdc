#pragma once

#include <cstdint>
#include <vector>

#include "fine/far_field/panel_moments.h"
#include "fine/far_field/taylor_terms.h"

/// One far pair of clusters seen from one of its two nodes: what the node's local expansion L
/// receives from the moments M of the other,
///   L(out) += σ(out) Σ_in τ(out + in) T(out + in) M(in)  over degree(out) + degree(in) <= degree,
/// with T the pair's tensor and σ, τ sign patterns. For 1/|x − y|, T holds the derivatives of
/// 1/r at the centre of the pair's second node less that of its first; the first node takes it
/// with τ = 1, the second with τ = (−1)^degree, and both with σ = (−1)^degree.
struct FarLinkSide {
  int32_t source;       // the node whose moments M are taken
  int32_t degree;       // degree of the pair's expansion
  int64_t tensor;       // first value of T in FarFieldTables::tensors, terms up to `degree`;
                        // where the far field keeps the nodes' centres, in kept_tensors
  int32_t tensor_sign;  // τ: a row of FarFieldTables::signs, or kUnsigned for τ = 1
  int32_t local_sign;   // σ: a row of FarFieldTables::signs
};

/// τ = 1: the tensor is taken as it is.
constexpr int32_t kUnsigned = -1;
/// The row of FarFieldTables::signs that holds (−1)^degree, always the first.
constexpr int32_t kParitySign = 0;
/// In a layer stack, the rows of (−1)^v and (−1)^(t + u) for the term (t, u, v): the signs that
/// a z-mirror of the source's moments gives (far_field_images.h).
constexpr int32_t kZParitySign = 1;
constexpr int32_t kXYParitySign = 2;

/// The arrays the far product reads, built by FarField and read by far_product.inc. Nodes are
/// those of the cluster tree (parents before their children), panels in tree order.
struct FarFieldTables {
  explicit FarFieldTables(int32_t highest) : terms(highest) {}

  TaylorTerms terms;                  // the terms up to the highest degree, and their algebra
  int32_t kept_degree = 0;            // products up to this degree read kept moments and tensors
  std::vector<int32_t> parent;        // per node: its parent, -1 for the root
  std::vector<int32_t> children;      // per node: its two children, -1 -1 for a leaf
  std::vector<int32_t> node_degree;   // per node: the highest degree of its pairs and its
                                      // ancestors' pairs, the degree its expansions carry
  std::vector<int64_t> offset;        // per node: first block of its expansion in a work space
  std::vector<int64_t> kept_offset;   // the same for products up to kept_degree, which cut every
                                      // node there: packed tighter
  int64_t blocks = 0;                 // blocks of one work space, every node at its degree
  int64_t kept_blocks = 0;            // the same, every node cut at kept_degree
  std::vector<int32_t> leaf_node;     // the leaves in the order of their panels
  std::vector<int32_t> leaf_first;    // per leaf: its first panel; one more at the end
  std::vector<int32_t> node_leaf;     // per node: its place in leaf_node, -1 for an inner node
  std::vector<int32_t> roots;         // the nodes without a parent, in node order
  int32_t depth = 0;                  // the most nodes on a path from a root down to a leaf
  PanelMoments charge;                // per panel: the moments of its unit charge
  PanelMoments test;                  // per panel: the moments of what its row measures; empty
                                      // where that is the mean potential (the charge's moments)
  std::vector<int64_t> shift_offset;  // per node: its factors in `shift`
  std::vector<double> shift;          // per node but the root: d^term / term! for d its centre
                                      // less its parent's, terms up to the parent's degree
  std::vector<int32_t> side_start;    // per node: its pairs in `sides`; one more at the end
  std::vector<FarLinkSide> sides;     // every far pair twice, once from each of its nodes (in
                                      // a layer stack twice more, for its mirrored images); a
                                      // node's sides in the order of the pairs
  int64_t pairs = 0;                  // the far pairs
  std::vector<double> tensors;        // per far pair: T; empty where `centre` is kept
  std::vector<double> centre;         // per node: its centre (x, y, z), from which the products
                                      // above kept_degree make each pair's T as they visit it;
                                      // empty in a layer stack, whose T are kept in `tensors`
  std::vector<double> kept_tensors;   // per side: τ T up to kept_degree, zero above its degree;
                                      // where `centre` is kept, per pair: T (τ not applied)
  std::vector<double> signs;          // sign patterns, terms.count values each
};

/// The tensor T of the far pair whose first node is `first`, up to `degree`, from the nodes'
/// centres kept in F (F.centre): the derivatives of 1/r at the second's centre less the first's.
/// Compiled once for every instruction-set path.
void pair_tensor(const FarFieldTables& F, int32_t first, int32_t second, int32_t degree, double* T);
