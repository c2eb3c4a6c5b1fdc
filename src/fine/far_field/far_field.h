#pragma once

#include <cstdint>
#include <vector>

#include "fine/clusters/cluster_tree.h"
#include "fine/clusters/interaction_lists.h"
#include "fine/far_field/taylor_terms.h"

/// The potential between well-separated clusters through Cartesian Taylor expansions of
/// 1/|x - y| about the cluster centres: multipole moments gathered up the tree, turned into
/// local expansions across every far pair, and handed down to the panels.
///
/// Each far pair gets the lowest order whose truncation error, for its ratio of radii to
/// distance, is no larger than that of the highest order at the largest ratio allowed; each node
/// carries the highest order any pair of it or of its ancestors needs.
struct FarField {
  /// One far pair of clusters.
  struct Link {
    int32_t a, b;   // the two nodes
    int32_t order;  // degree of the expansion across this pair
  };

  /// Expansions up to degree `order` for pairs separated at `separation`; the moments of the
  /// panels are kept up to degree `stored_order` and made afresh above it.
  FarField(const LevelMesh& mesh, const ClusterTree& tree, const InteractionLists& lists,
           int32_t order, double separation, int32_t stored_order);

  TaylorTerms terms;                   // the terms up to the highest order
  int32_t node_count;                  // nodes of the tree
  std::vector<int32_t> parent;         // parent of each node, -1 for the root
  std::vector<int32_t> child;          // the two children of each node, -1 -1 for a leaf
  std::vector<int32_t> node_order;     // degree each node's expansions carry
  std::vector<int64_t> node_offset;    // first block of each node's expansion in the work space
  int64_t block_count;                 // blocks of one expansion of every node
  std::vector<int64_t> stored_offset;  // the same for expansions cut at stored_order, packed
                                       // tighter for the many products that use only those
  std::vector<int32_t> leaf_first;     // per leaf: first panel (tree order); one more at the end
  std::vector<int32_t> leaf_node;      // per leaf: its node
  int32_t stored_order;                // degree up to which panel moments are kept
  std::vector<double> panel_moment;    // per panel (tree order), terms_up_to[stored_order] values:
                                       // moments of its unit charge about its leaf's centre
  std::vector<double> panel_bounds;    // per panel: lo and hi of its rectangle, six values
  std::vector<double> leaf_centre;     // per leaf: its centre, three values
  std::vector<int64_t> shift_offset;   // per node: its shift factors from the parent's centre,
  std::vector<double> shift;           // terms_up_to[parent's order] values
  std::vector<Link> links;             // far pairs
  std::vector<int32_t> link_start;     // per node: its far pairs in link_list; one more at the end
  std::vector<int32_t> link_list;      // 2 * link + 1 where the node is the pair's a, 2 * link
                                       // where it is b
  std::vector<double> stored_derivative;   // per entry of link_list: the derivatives of the pair
                                           // up to stored_order, signed for the node's side, in
                                           // the order the products visit them
  std::vector<int64_t> derivative_offset;  // per link: its derivatives of 1/r at centre b −
  std::vector<double> derivative;          // centre a, terms_up_to[order] values
  std::vector<int32_t> terms_up_to;        // per degree q: number of terms of degree <= q
  std::vector<int16_t> sum_index;   // [out * terms.count + in]: the term out + in, -1 if above
  std::vector<double> parity;       // (-1)^degree of each term
  std::vector<int32_t> part_start;  // per term α: first of its splits α = γ + κ
  std::vector<int16_t> part_low;    // γ of each split
  std::vector<int16_t> part_shift;  // κ of each split
};
