#include "tools/layout/net_names.h"

#include <algorithm>
#include <map>
#include <set>

namespace {

// Other labels of a net named in its note; more are counted.
const size_t kLabelsShown = 8;

std::string other_labels_note(const std::string& name, const std::set<std::string>& others) {
  std::string note =
      "the net named '" + name + "' also carries the label" + (others.size() > 1 ? "s " : " ");
  size_t shown = 0;
  for (const std::string& other : others) {
    if (shown == kLabelsShown) break;
    note += (shown++ ? ", '" : "'") + other + "'";
  }
  if (others.size() > kLabelsShown)
    note += " and " + std::to_string(others.size() - kLabelsShown) + " more";
  return note;
}

}  // namespace

std::string unlabelled_net_name(const LayoutNet& net, const Stack& stack, Femtometres dbu) {
  int32_t layer = static_cast<int32_t>(stack.layers.size());
  for (const NetBox& box : net.boxes) layer = std::min(layer, box.layer);
  const NetBox* lowest_left = nullptr;
  for (const NetBox& box : net.boxes) {
    if (box.layer != layer) continue;
    if (!lowest_left || box.lo[0] < lowest_left->lo[0] ||
        (box.lo[0] == lowest_left->lo[0] && box.lo[1] < lowest_left->lo[1]))
      lowest_left = &box;
  }
  // Database units times the unit fit: the caller has checked every box.
  return stack.layers[layer].name + "_x" + format_micrometres(lowest_left->lo[0] * dbu) + "_y" +
         format_micrometres(lowest_left->lo[1] * dbu);
}

const NetLabel& naming_label(const std::vector<NetLabel>& labels) {
  return *std::min_element(labels.begin(), labels.end(), [](const NetLabel& a, const NetLabel& b) {
    if (a.depth != b.depth) return a.depth < b.depth;
    int text = a.name.compare(a.text_from, std::string::npos, b.name, b.text_from);
    if (text != 0) return text < 0;
    return a.name < b.name;
  });
}

std::vector<NetName> name_nets(const LayoutNets& nets, const Stack& stack,
                               std::vector<std::string>& notes) {
  std::vector<NetName> names;
  std::map<std::string, int32_t> labelled_nets;  // nets named by each label name
  for (const LayoutNet& net : nets.nets) {
    if (net.labels.empty()) {
      names.push_back(NetName{unlabelled_net_name(net, stack, nets.dbu), false});
      continue;
    }
    const std::string& name = naming_label(net.labels).name;
    names.push_back(NetName{name, true});
    ++labelled_nets[name];
    std::set<std::string> others;
    for (const NetLabel& label : net.labels) {
      if (label.name != name) others.insert(label.name);
    }
    if (!others.empty()) notes.push_back(other_labels_note(name, others));
  }
  for (const auto& named : labelled_nets) {
    if (named.second > 1)
      notes.push_back(std::to_string(named.second) + " separate nets are named '" + named.first +
                      "' by their labels: they are one conductor");
  }
  return names;
}
