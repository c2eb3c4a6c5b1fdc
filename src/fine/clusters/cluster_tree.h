#pragma once

#include <cstdint>
#include <vector>

#include "fine/mesh/graded_mesh.h"

/// One cluster of panels: a node of the binary tree over all panels of a level.
struct ClusterNode {
  int32_t first;       // first panel, in tree order
  int32_t count;       // number of panels; a node's panels are consecutive in tree order
  int32_t child[2];    // the two halves, -1 for a leaf
  int32_t parent;      // -1 for the root
  double centre[3];    // centre of the panels' bounding box, the expansion centre
  int64_t grid_lo[3];  // bounding box on the decision grid (see ClusterTree)
  int64_t grid_hi[3];
};

/// A binary tree over the panels of one level: each node's bounding box is halved across its
/// longest side until a leaf holds at most `leaf_size` panels. Nodes are stored parents first.
/// Panels may come in groups (the layers of a stack, whose kernels differ): then each group has
/// a tree of its own, so that every cluster lies in one group, and the roots are the groups'.
///
/// Every choice that changes the structure of the computation (how clusters are split, which
/// pairs are far enough apart for an expansion) is made on a grid of 2^30 steps over the
/// structure's bounding box, not on the coordinates themselves: the same structure drawn in
/// another unit rounds differently in the last place, and must still be split the same way.
struct ClusterTree {
  /// `group`, when given, holds a group number (from 0) per mesh panel; without it every panel
  /// is in one group. With `isolate_long_panels`, a node whose panels are partly long against
  /// it (longer than three quarters of its longest side) is split into those and the others
  /// before it is halved, so that short panels are not kept in clusters as large as a long one
  /// beside them; the far pairs are as separated as ever, only fewer pairs are near.
  ClusterTree(const LevelMesh& mesh, int32_t leaf_size, const std::vector<int32_t>* group = nullptr,
              bool isolate_long_panels = false);

  /// Whether the clusters a and b are far enough apart for their expansions: the sum of their
  /// radii is below `ratio` times the distance of their centres (both on the grid).
  bool well_separated(int32_t a, int32_t b, double ratio) const;
  /// The sum of the radii of clusters a and b over the distance of their centres, on the grid:
  /// below the ratio of well_separated for a far pair, and the smaller the faster its expansion
  /// converges.
  double radius_ratio(int32_t a, int32_t b) const;
  /// Radius of the node's bounding box on the grid.
  double grid_radius(int32_t node) const;

  std::vector<ClusterNode> nodes;  // the roots first, one per group that has panels
  std::vector<int32_t> panel;      // panel[i]: the mesh panel at tree position i
  std::vector<int32_t> roots;      // the roots in order of their groups; {0} without groups
  std::vector<int32_t> group;      // per node: its group, 0 without groups
};
