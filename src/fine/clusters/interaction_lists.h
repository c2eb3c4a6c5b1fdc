#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "fine/clusters/cluster_tree.h"

/// How the pairs of clusters of a tree interact: far pairs through their expansions, and pairs
/// of leaves that are too close for that through the coefficients of all their panel pairs.
struct InteractionLists {
  std::vector<std::pair<int32_t, int32_t>> far;   // well-separated node pairs, each once
  std::vector<std::pair<int32_t, int32_t>> near;  // leaf pairs (a <= b by first panel); (a, a)
                                                  // for the pairs within a leaf
};

/// Walks the tree against itself: a pair of clusters that is well separated at `ratio` (see
/// ClusterTree::well_separated) is far; otherwise the larger cluster is split, until both are
/// leaves. Every pair of panels is covered exactly once.
InteractionLists make_interaction_lists(const ClusterTree& tree, double ratio);
