#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "tools/layout/layout_conductors.h"
#include "tools/layout/stack_file.h"

/// What a cap3d file holds besides the nets.
struct Cap3dSource {
  std::string comment;          // one line for the // comment at the top
  std::string window_name;      // the name of the window: the cell's
  Femtometres extent[4];        // x1 y1 x2 y2 that the window covers at least
  std::vector<size_t> masters;  // positions of the task's nets in the nets written
};

/// "" when every net of `nets` can be written under its name, else the reason: a cap3d file
/// reads "PART__NET" as a part of NET and "GROUND" as its substrate, the --substrate box.
std::string check_cap3d_names(const std::vector<NamedNet>& nets);

/// Writes the cap3d file of `nets` in the dielectric of `stack`: the window (the extent and
/// every box, from z = 0 or the lowest box up to the highest box or the last dielectric's top),
/// the dielectric layers bottom up as <plate_medium> (the last up to the window's top; without
/// any, one layer of vacuum), the stack's layers as <layer>, each net as a <conductor> of
/// <block>s, the substrate as GROUND, and the master nets as the <task>. Returns "" or the
/// reason it cannot: a dielectric that ends below the window.
std::string write_cap3d(std::ostream& out, const Cap3dSource& source, const Stack& stack,
                        const std::vector<NamedNet>& nets);
