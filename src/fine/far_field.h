#pragma once

#include <cstdint>
#include <vector>

#include "fine/cluster_tree.h"
#include "fine/interaction_lists.h"
#include "fine/taylor_terms.h"

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

  FarField(const LevelMesh& mesh, const ClusterTree& tree, const InteractionLists& lists,
           int32_t order, double separation);

  TaylorTerms terms;                 // the terms up to the highest order
  int32_t node_count;                // nodes of the tree
  std::vector<int32_t> parent;       // parent of each node, -1 for the root
  std::vector<int32_t> node_order;   // degree each node's expansions carry
  std::vector<int32_t> leaf_first;   // per leaf: first panel (tree order); one more at the end
  std::vector<int32_t> leaf_node;    // per leaf: its node
  std::vector<double> panel_moment;  // per panel (tree order), terms.count values: moments of
                                     // its unit charge about its leaf's centre
  std::vector<double> shift;         // per node, terms.count values: shift factors from the
                                     // parent's centre to the node's
  std::vector<Link> links;           // far pairs
  std::vector<double> derivative;    // per link, terms.count values: derivatives of 1/r at
                                     // centre b − centre a
  std::vector<int32_t> terms_up_to;  // per degree q: number of terms of degree <= q
  std::vector<int16_t> sum_index;    // [out * terms.count + in]: the term out + in, -1 if above
  std::vector<double> parity;        // (-1)^degree of each term
  std::vector<int32_t> part_start;   // per term α: first of its splits α = γ + κ
  std::vector<int16_t> part_low;     // γ of each split
  std::vector<int16_t> part_shift;   // κ of each split
};
