#include "fine/clusters/interaction_lists.h"

InteractionLists make_interaction_lists(const ClusterTree& tree, double ratio) {
  InteractionLists lists;
  struct Task {
    int32_t a, b;  // a == b: the pairs within one cluster
  };
  // Every pair of roots (groups), taken in order: the pairs within a group, then across.
  std::vector<Task> stack;
  const size_t roots = tree.roots.size();
  for (size_t a = roots; a-- > 0;) {
    for (size_t b = roots; b-- > a;) stack.push_back({tree.roots[a], tree.roots[b]});
  }
  while (!stack.empty()) {
    Task task = stack.back();
    stack.pop_back();
    const ClusterNode& a = tree.nodes[task.a];
    if (task.a == task.b) {
      if (a.child[0] < 0) {
        lists.near.emplace_back(task.a, task.a);
      } else {
        // Pushed in reverse so that they are taken in this order.
        stack.push_back({a.child[0], a.child[1]});
        stack.push_back({a.child[1], a.child[1]});
        stack.push_back({a.child[0], a.child[0]});
      }
      continue;
    }
    const ClusterNode& b = tree.nodes[task.b];
    if (tree.well_separated(task.a, task.b, ratio)) {
      lists.far.emplace_back(task.a, task.b);
      continue;
    }
    bool a_leaf = a.child[0] < 0, b_leaf = b.child[0] < 0;
    if (a_leaf && b_leaf) {
      if (a.first < b.first) {
        lists.near.emplace_back(task.a, task.b);
      } else {
        lists.near.emplace_back(task.b, task.a);
      }
      continue;
    }
    bool split_a = !a_leaf && (b_leaf || tree.grid_radius(task.a) >= tree.grid_radius(task.b));
    if (split_a) {
      stack.push_back({a.child[1], task.b});
      stack.push_back({a.child[0], task.b});
    } else {
      stack.push_back({task.a, b.child[1]});
      stack.push_back({task.a, b.child[0]});
    }
  }
  return lists;
}
