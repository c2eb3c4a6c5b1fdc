#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "structure/union_surface.h"
#include "tools/layout/layout_nets.h"
#include "tools/layout/net_names.h"
#include "tools/layout/stack_file.h"

/// The substrate box that --substrate asks for.
struct SubstrateRequest {
  bool wanted = false;   // whether to add conductor "substrate"
  Femtometres halo = 0;  // how far it reaches beyond the extent on every side, >= 0
};

/// One conductor of the output: the nets that take one name, as boxes in space.
struct NamedNet {
  std::string name;             // see name_nets; "substrate" for the --substrate box
  std::vector<SolidBox> boxes;  // in femtometres, each over the heights of its layer
  std::vector<int32_t> layers;  // the stack layer of each box, -1 for the substrate's
};

/// The nets of `nets`, named by `names` (one per net), sorted by name: nets with the same name
/// joined into one (they are one node), their boxes extruded over their layer's heights; and
/// with `substrate.wanted` the net "substrate", a box from z = -H to 0 (H the top of the
/// highest layer) reaching `substrate.halo` beyond the extent on every side. Returns "" on
/// success, else the reason: two names that clash, a metal not above the substrate, a
/// coordinate too large.
std::string named_nets_from(const LayoutNets& nets, const std::vector<NetName>& names,
                            const Stack& stack, SubstrateRequest substrate,
                            std::vector<NamedNet>& named);

/// The positions (from 0) in `nets` of those with a box over the window x1 y1 x2 y2 by a
/// positive area, the substrate aside: the nets of the window, when the rest is its halo.
std::vector<size_t> window_nets(const std::vector<NamedNet>& nets, const Femtometres window[4]);

/// Writes the `header` lines and then every panel of each net, the surface of the union of its
/// boxes, as "Q NAME x1 y1 z1 ... x4 y4 z4", in micrometres, its corners in order
/// counterclockwise seen from outside.
void write_panel_file(std::ostream& out, const std::vector<std::string>& header,
                      const std::vector<NamedNet>& nets);
