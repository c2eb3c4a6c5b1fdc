#pragma once

#include <cstdint>
#include <vector>

#include "fine/cluster_tree.h"
#include "fine/interaction_lists.h"
#include "fine/taylor_terms.h"

/// The potential between well-separated clusters through Cartesian Taylor expansions of
/// 1/|x - y| about the cluster centres: multipole moments gathered up the tree, turned into
/// local expansions across every far pair, and handed down to the panels.
struct FarField {
  FarField(const LevelMesh& mesh, const ClusterTree& tree, const InteractionLists& lists,
           int32_t order);

  const TaylorTerms terms;           // the expansion's terms
  const ClusterTree& tree;           // the clusters
  std::vector<int32_t> leaves;       // leaf nodes
  std::vector<double> panel_moment;  // per tree position: moments of the panel's unit
                                     // charge about its leaf's centre
  std::vector<double> shift;         // per node: shift factors from the parent's centre
  std::vector<std::pair<int32_t, int32_t>> links;  // far pairs (a, b)
  std::vector<double> derivative;  // per link: derivatives of 1/r at centre b - centre a
};

/// Work space for the far field of `lanes` right-hand sides.
struct FarFieldWork {
  std::vector<double> multipole;  // per node, term and lane
  std::vector<double> local;      // per node, term and lane
};

/// y += F x for `lanes` right-hand sides stored side by side.
void multiply_far_field(const FarField& far, const double* x, double* y, int32_t lanes,
                        FarFieldWork& work);
