#include "tools/layout/layout_conductors.h"

#include <algorithm>
#include <map>

namespace {

bool times_dbu(int64_t units, Femtometres dbu, Femtometres& length) {
  return !__builtin_mul_overflow(units, dbu, &length);
}

const char kTooLarge[] = "a coordinate of the layout is too large for exact arithmetic";

/// The boxes of `net` in space, or false when a coordinate overflows.
bool solid_boxes(const LayoutNet& net, const Stack& stack, Femtometres dbu,
                 std::vector<SolidBox>& solids) {
  for (const NetBox& box : net.boxes) {
    SolidBox solid;
    for (int32_t a = 0; a < 2; ++a) {
      if (!times_dbu(box.lo[a], dbu, solid.lo[a]) || !times_dbu(box.hi[a], dbu, solid.hi[a]))
        return false;
    }
    solid.lo[2] = stack.layers[box.layer].z_bottom;
    solid.hi[2] = stack.layers[box.layer].z_top;
    solids.push_back(solid);
  }
  return true;
}

std::string substrate_box(const LayoutNets& nets, const Stack& stack, Femtometres halo,
                          SolidBox& box) {
  Femtometres top = stack.layers[0].z_top;
  for (const StackLayer& layer : stack.layers) {
    if (layer.z_bottom <= 0)
      return "--substrate: the substrate's top is at z = 0, and " +
             std::string(layer.is_via ? "via " : "metal ") + layer.name +
             " begins at z = " + format_micrometres(layer.z_bottom) + ", not above it";
    top = std::max(top, layer.z_top);
  }
  for (int32_t a = 0; a < 2; ++a) {
    if (!times_dbu(nets.extent[a], nets.dbu, box.lo[a]) ||
        !times_dbu(nets.extent[a + 2], nets.dbu, box.hi[a]) ||
        __builtin_sub_overflow(box.lo[a], halo, &box.lo[a]) ||
        __builtin_add_overflow(box.hi[a], halo, &box.hi[a]))
      return kTooLarge;
  }
  box.lo[2] = -top;
  box.hi[2] = 0;
  return "";
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

std::string conductors_from(const LayoutNets& nets, const Stack& stack, SubstrateRequest substrate,
                            std::vector<Conductor>& conductors) {
  std::map<std::string, std::vector<SolidBox>> solids;  // by conductor name, hence sorted
  std::map<std::string, bool> labelled;                 // whether a name comes from a label
  for (const LayoutNet& net : nets.nets) {
    std::vector<SolidBox> boxes;
    if (!solid_boxes(net, stack, nets.dbu, boxes)) return kTooLarge;
    bool has_label = !net.label.empty();
    std::string name = has_label ? net.label : unlabelled_net_name(net, stack, nets.dbu);
    auto known = labelled.find(name);
    if (known != labelled.end() && !(known->second && has_label))
      return "two nets are called " + name + ": one has no label and is named after its place";
    labelled[name] = has_label;
    std::vector<SolidBox>& all = solids[name];
    all.insert(all.end(), boxes.begin(), boxes.end());
  }
  if (substrate.wanted) {
    if (solids.count("substrate"))
      return "a net is labelled substrate, the name of the --substrate box";
    SolidBox box;
    std::string error = substrate_box(nets, stack, substrate.halo, box);
    if (!error.empty()) return error;
    solids["substrate"].push_back(box);
  }
  conductors.clear();
  for (const auto& named : solids) {
    conductors.push_back(Conductor{named.first, union_surface(named.second)});
  }
  return "";
}

void write_panel_file(std::ostream& out, const std::string& title,
                      const std::vector<Conductor>& conductors) {
  out << title << '\n';
  for (const Conductor& conductor : conductors) {
    for (const SurfaceRect& panel : conductor.panels) {
      Femtometres corners[4][3];
      surface_corners(panel, corners);
      out << "Q " << conductor.name;
      for (const auto& corner : corners) {
        out << "  " << format_micrometres(corner[0]) << ' ' << format_micrometres(corner[1]) << ' '
            << format_micrometres(corner[2]);
      }
      out << '\n';
    }
  }
}
