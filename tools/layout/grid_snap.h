#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/layout/layout_conductors.h"
#include "tools/layout/layout_nets.h"
#include "tools/layout/net_names.h"

/// Moves every edge of the boxes of `nets` to the nearest multiple of `grid` database units
/// (a half away from zero), no further out than the extent, and drops the boxes that vanish:
/// offsets, jogs and enclosures smaller than half the grid are gone. A net whose boxes all
/// vanish is dropped with its name in `names`, and `notes` gets a line naming it.
void snap_to_grid(LayoutNets& nets, std::vector<NetName>& names, int64_t grid,
                  std::vector<std::string>& notes);

/// "" when no box of one net touches or overlaps a box of another in space (as after snapping
/// they may), else the reason, naming both nets and a point they share. A sweep along x.
std::string check_nets_apart(const std::vector<NamedNet>& nets);
