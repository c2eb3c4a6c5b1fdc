#include "tools/layout/layout_conductors.h"

#include <algorithm>
#include <map>

namespace {

bool times_dbu(int64_t units, Femtometres dbu, Femtometres& length) {
  return !__builtin_mul_overflow(units, dbu, &length);
}

const char kTooLarge[] = "a coordinate of the layout is too large for exact arithmetic";

/// Adds the boxes of `net` in space to `into`, or returns false when a coordinate overflows.
bool add_solid_boxes(const LayoutNet& net, const Stack& stack, Femtometres dbu, NamedNet& into) {
  for (const NetBox& box : net.boxes) {
    SolidBox solid;
    for (int32_t a = 0; a < 2; ++a) {
      if (!times_dbu(box.lo[a], dbu, solid.lo[a]) || !times_dbu(box.hi[a], dbu, solid.hi[a]))
        return false;
    }
    solid.lo[2] = stack.layers[box.layer].z_bottom;
    solid.hi[2] = stack.layers[box.layer].z_top;
    into.boxes.push_back(solid);
    into.layers.push_back(box.layer);
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

std::string named_nets_from(const LayoutNets& nets, const std::vector<NetName>& names,
                            const Stack& stack, SubstrateRequest substrate,
                            std::vector<NamedNet>& named) {
  std::map<std::string, NamedNet> by_name;  // sorted
  std::map<std::string, bool> labelled;     // whether a name comes from a label
  for (size_t k = 0; k < nets.nets.size(); ++k) {
    const NetName& name = names[k];
    auto known = labelled.find(name.name);
    if (known != labelled.end() && !(known->second && name.from_label))
      return "two nets are called " + name.name + ": one has no label and is named after its place";
    labelled[name.name] = name.from_label;
    NamedNet& net = by_name[name.name];
    net.name = name.name;
    if (!add_solid_boxes(nets.nets[k], stack, nets.dbu, net)) return kTooLarge;
  }
  if (substrate.wanted) {
    if (by_name.count("substrate"))
      return "a net is labelled substrate, the name of the --substrate box";
    SolidBox box;
    std::string error = substrate_box(nets, stack, substrate.halo, box);
    if (!error.empty()) return error;
    by_name["substrate"] = NamedNet{"substrate", {box}, {-1}};
  }
  named.clear();
  for (auto& entry : by_name) named.push_back(std::move(entry.second));
  return "";
}

std::vector<size_t> window_nets(const std::vector<NamedNet>& nets, const Femtometres window[4]) {
  std::vector<size_t> inside;
  for (size_t k = 0; k < nets.size(); ++k) {
    for (size_t b = 0; b < nets[k].boxes.size(); ++b) {
      const SolidBox& box = nets[k].boxes[b];
      if (nets[k].layers[b] >= 0 && box.lo[0] < window[2] && window[0] < box.hi[0] &&
          box.lo[1] < window[3] && window[1] < box.hi[1]) {
        inside.push_back(k);
        break;
      }
    }
  }
  return inside;
}

void write_panel_file(std::ostream& out, const std::vector<std::string>& header,
                      const std::vector<NamedNet>& nets) {
  for (const std::string& line : header) out << line << '\n';
  for (const NamedNet& net : nets) {
    for (const SurfaceRect& panel : union_surface(net.boxes)) {
      Femtometres corners[4][3];
      surface_corners(panel, corners);
      out << "Q " << net.name;
      for (const auto& corner : corners) {
        out << "  " << format_micrometres(corner[0]) << ' ' << format_micrometres(corner[1]) << ' '
            << format_micrometres(corner[2]);
      }
      out << '\n';
    }
  }
}
