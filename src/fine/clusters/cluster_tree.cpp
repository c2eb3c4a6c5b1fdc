#include "fine/clusters/cluster_tree.h"

#include <algorithm>
#include <cmath>

#include "structure/space_box.h"

namespace {

constexpr double kGridSteps = 1073741824.0;  // 2^30
// A panel longer than this share of its node's longest side is long against it: a cluster
// holding it is as large as the panel, and would make every other panel of the cluster near
// everything within the panel's length (lines24: strips 70 um long beside panels of 0.1 um).
constexpr double kLongShare = 0.75;

/// The panels' boxes in space and on the decision grid over their bounding box.
struct PanelBoxes {
  std::vector<SpaceBox> real;    // per panel, in space
  std::vector<int64_t> grid_lo;  // per panel, x, y and z of its lower corner on the grid
  std::vector<int64_t> grid_hi;  // the same of its upper corner
};

PanelBoxes panel_boxes(const LevelMesh& mesh) {
  const size_t n = mesh.panels.size();
  PanelBoxes boxes{std::vector<SpaceBox>(n), std::vector<int64_t>(3 * n),
                   std::vector<int64_t>(3 * n)};
  double box_lo[3] = {INFINITY, INFINITY, INFINITY}, box_hi[3] = {-INFINITY, -INFINITY, -INFINITY};
  for (size_t i = 0; i < n; ++i) {
    boxes.real[i] = space_box(mesh.panels[i].rect);
    for (int a = 0; a < 3; ++a) {
      box_lo[a] = std::min(box_lo[a], boxes.real[i].lo[a]);
      box_hi[a] = std::max(box_hi[a], boxes.real[i].hi[a]);
    }
  }
  double extent = std::max({box_hi[0] - box_lo[0], box_hi[1] - box_lo[1], box_hi[2] - box_lo[2]});
  for (size_t i = 0; i < n; ++i) {
    for (int a = 0; a < 3; ++a) {
      boxes.grid_lo[3 * i + a] =
          std::llround((boxes.real[i].lo[a] - box_lo[a]) / extent * kGridSteps);
      boxes.grid_hi[3 * i + a] =
          std::llround((boxes.real[i].hi[a] - box_lo[a]) / extent * kGridSteps);
    }
  }
  return boxes;
}

/// The centre and the grid box of a node, from its panels.
void bound_node(ClusterNode& node, const std::vector<int32_t>& panel, const PanelBoxes& boxes) {
  double real_lo[3] = {INFINITY, INFINITY, INFINITY},
         real_hi[3] = {-INFINITY, -INFINITY, -INFINITY};
  int64_t g_lo[3] = {INT64_MAX, INT64_MAX, INT64_MAX}, g_hi[3] = {INT64_MIN, INT64_MIN, INT64_MIN};
  for (int32_t i = node.first; i < node.first + node.count; ++i) {
    int32_t p = panel[i];
    for (int a = 0; a < 3; ++a) {
      real_lo[a] = std::min(real_lo[a], boxes.real[p].lo[a]);
      real_hi[a] = std::max(real_hi[a], boxes.real[p].hi[a]);
      g_lo[a] = std::min(g_lo[a], boxes.grid_lo[3 * p + a]);
      g_hi[a] = std::max(g_hi[a], boxes.grid_hi[3 * p + a]);
    }
  }
  for (int a = 0; a < 3; ++a) {
    node.centre[a] = 0.5 * (real_lo[a] + real_hi[a]);
    node.grid_lo[a] = g_lo[a];
    node.grid_hi[a] = g_hi[a];
  }
}

/// Halves the node's panels across the longest side of its grid box by the panels' centres
/// (twice the centre, on the grid), reordering them in `panel`; if that leaves one side empty,
/// by count in the order of their centres instead. Returns the panels of the first half, or 0
/// when the panels cannot be told apart.
int32_t split_node(const ClusterNode& node, std::vector<int32_t>& panel, const PanelBoxes& boxes) {
  int axis = 0;
  for (int a = 1; a < 3; ++a) {
    if (node.grid_hi[a] - node.grid_lo[a] > node.grid_hi[axis] - node.grid_lo[axis]) axis = a;
  }
  int32_t* begin = panel.data() + node.first;
  int32_t* end = begin + node.count;
  auto twice_centre = [&](int32_t p) {
    return boxes.grid_lo[3 * p + axis] + boxes.grid_hi[3 * p + axis];
  };
  int64_t cut = node.grid_lo[axis] + node.grid_hi[axis];
  int32_t* middle =
      std::stable_partition(begin, end, [&](int32_t p) { return twice_centre(p) < cut; });
  if (middle == begin || middle == end) {
    std::stable_sort(begin, end,
                     [&](int32_t p, int32_t q) { return twice_centre(p) < twice_centre(q); });
    middle = begin + node.count / 2;
    if (twice_centre(*begin) == twice_centre(*(end - 1))) return 0;
  }
  return static_cast<int32_t>(middle - begin);
}

/// The panels of the node that are long against it (longer than kLongShare of its longest
/// side) after the others, reordering them in `panel`; returns the others' count, or 0 where the
/// node's panels are all long or all not.
int32_t split_off_long_panels(const ClusterNode& node, std::vector<int32_t>& panel,
                              const PanelBoxes& boxes) {
  int64_t side = 0;
  for (int a = 0; a < 3; ++a) side = std::max(side, node.grid_hi[a] - node.grid_lo[a]);
  auto is_long = [&](int32_t p) {
    int64_t length = 0;
    for (int a = 0; a < 3; ++a)
      length = std::max(length, boxes.grid_hi[3 * p + a] - boxes.grid_lo[3 * p + a]);
    return static_cast<double>(length) > kLongShare * static_cast<double>(side);
  };
  int32_t* begin = panel.data() + node.first;
  int32_t* end = begin + node.count;
  int32_t* middle = std::stable_partition(begin, end, [&](int32_t p) { return !is_long(p); });
  if (middle == begin || middle == end) return 0;
  return static_cast<int32_t>(middle - begin);
}

}  // namespace

ClusterTree::ClusterTree(const LevelMesh& mesh, int32_t leaf_size,
                         const std::vector<int32_t>* group_of_panel, bool isolate_long_panels) {
  const int32_t n = static_cast<int32_t>(mesh.panels.size());
  const PanelBoxes boxes = panel_boxes(mesh);
  panel.resize(n);
  for (int32_t i = 0; i < n; ++i) panel[i] = i;
  if (group_of_panel == nullptr) {
    nodes.push_back(ClusterNode{0, n, {-1, -1}, -1, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}});
    roots.push_back(0);
    group.push_back(0);
  } else {
    const std::vector<int32_t>& of = *group_of_panel;
    std::stable_sort(panel.begin(), panel.end(),
                     [&](int32_t p, int32_t q) { return of[p] < of[q]; });
    for (int32_t first = 0; first < n;) {
      int32_t end = first;
      while (end < n && of[panel[end]] == of[panel[first]]) ++end;
      roots.push_back(static_cast<int32_t>(nodes.size()));
      group.push_back(of[panel[first]]);
      nodes.push_back(
          ClusterNode{first, end - first, {-1, -1}, -1, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}});
      first = end;
    }
  }
  for (size_t k = 0; k < nodes.size(); ++k) {
    bound_node(nodes[k], panel, boxes);
    const ClusterNode node = nodes[k];
    if (node.count <= leaf_size) continue;
    int32_t left = isolate_long_panels ? split_off_long_panels(node, panel, boxes) : 0;
    if (left == 0) left = split_node(node, panel, boxes);
    if (left == 0) continue;
    const int32_t parent = static_cast<int32_t>(k);
    nodes[k].child[0] = static_cast<int32_t>(nodes.size());
    nodes[k].child[1] = static_cast<int32_t>(nodes.size()) + 1;
    nodes.push_back(
        ClusterNode{node.first, left, {-1, -1}, parent, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}});
    nodes.push_back(ClusterNode{
        node.first + left, node.count - left, {-1, -1}, parent, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}});
    group.push_back(group[k]);
    group.push_back(group[k]);
  }
}

double ClusterTree::grid_radius(int32_t k) const {
  const ClusterNode& node = nodes[k];
  double sum = 0.0;
  for (int a = 0; a < 3; ++a) {
    double half = 0.5 * static_cast<double>(node.grid_hi[a] - node.grid_lo[a]);
    sum += half * half;
  }
  return std::sqrt(sum);
}

namespace {

/// The squared distance of the centres of two nodes' boxes on the grid.
double centre_distance_squared(const ClusterNode& a, const ClusterNode& b) {
  double sum = 0.0;
  for (int k = 0; k < 3; ++k) {
    double d =
        0.5 * static_cast<double>((a.grid_lo[k] + a.grid_hi[k]) - (b.grid_lo[k] + b.grid_hi[k]));
    sum += d * d;
  }
  return sum;
}

}  // namespace

bool ClusterTree::well_separated(int32_t a, int32_t b, double ratio) const {
  double radii = grid_radius(a) + grid_radius(b);
  return radii * radii < ratio * ratio * centre_distance_squared(nodes[a], nodes[b]);
}

double ClusterTree::radius_ratio(int32_t a, int32_t b) const {
  return (grid_radius(a) + grid_radius(b)) / std::sqrt(centre_distance_squared(nodes[a], nodes[b]));
}
