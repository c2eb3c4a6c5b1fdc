#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "structure/union_surface.h"
#include "tools/layout/layout_nets.h"
#include "tools/layout/stack_file.h"

/// One conductor of the panel file: the surface of a net's shapes extruded through the stack.
struct Conductor {
  std::string name;                 // the net's label, or a name made from its place
  std::vector<SurfaceRect> panels;  // the surface of its solid, in femtometres
};

/// The substrate box that --substrate asks for.
struct SubstrateRequest {
  bool wanted = false;   // whether to add conductor "substrate"
  Femtometres halo = 0;  // how far it reaches beyond the extent on every side, >= 0
};

/// The name of a net without a label: the first stack layer (in file order) on which it has
/// shapes and the lowest of its leftmost points there, "met1_x0.5_y-2" for (0.5, -2) um.
std::string unlabelled_net_name(const LayoutNet& net, const Stack& stack, Femtometres dbu);

/// The conductors of `nets`, sorted by name: each net's boxes extruded over their layer's
/// heights, nets with the same label joined into one conductor (they are one node), and with
/// `substrate.wanted` the conductor "substrate", a box from z = -H to 0 (H the top of the
/// highest layer) reaching `substrate.halo` beyond the extent on every side. Returns "" on
/// success, else the reason: two names that clash, a metal not above the substrate, a
/// coordinate too large.
std::string conductors_from(const LayoutNets& nets, const Stack& stack, SubstrateRequest substrate,
                            std::vector<Conductor>& conductors);

/// Writes `title` and then every panel as "Q NAME x1 y1 z1 ... x4 y4 z4", in micrometres, its
/// corners in order counterclockwise seen from outside.
void write_panel_file(std::ostream& out, const std::string& title,
                      const std::vector<Conductor>& conductors);
