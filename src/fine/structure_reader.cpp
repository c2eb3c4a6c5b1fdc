#include "fine/structure_reader.h"

#include <algorithm>

#include "geometry/panel_reader.h"

std::string read_fine_structure(std::istream& in, const std::string&, FineStructure& out) {
  PanelVector panels;
  uint32_t count = 0;
  std::string error = read_panel_records(in, panels, count);
  if (!error.empty()) return error;
  int32_t previous = 0;
  for (uint32_t i = 0; i < panels.size(); ++i) {
    const Panel& p = panels[i];
    double lo[3], hi[3];
    for (int a = 0; a < 3; ++a) {
      double c[4] = {a == 0   ? p.vertices[0].x
                     : a == 1 ? p.vertices[0].y
                              : p.vertices[0].z,
                     a == 0   ? p.vertices[1].x
                     : a == 1 ? p.vertices[1].y
                              : p.vertices[1].z,
                     a == 0   ? p.vertices[2].x
                     : a == 1 ? p.vertices[2].y
                              : p.vertices[2].z,
                     a == 0   ? p.vertices[3].x
                     : a == 1 ? p.vertices[3].y
                              : p.vertices[3].z};
      lo[a] = *std::min_element(c, c + 4);
      hi[a] = *std::max_element(c, c + 4);
    }
    AxisRect r;
    r.axis = hi[0] == lo[0] ? 0 : hi[1] == lo[1] ? 1 : 2;
    r.level = lo[r.axis];
    for (int k = 0; k < 2; ++k) {
      r.lo[k] = lo[(r.axis + 1 + k) % 3];
      r.hi[k] = hi[(r.axis + 1 + k) % 3];
    }
    if (i == 0 || p.conductor != previous) {
      out.conductors.push_back(FineConductor{std::to_string(p.conductor), i, 0});
      previous = p.conductor;
    }
    out.conductors.back().panel_count += 1;
    out.panels.push_back(r);
    out.conductor_of_panel.push_back(static_cast<uint32_t>(out.conductors.size() - 1));
  }
  if (out.panels.empty()) return "Error: no panels";
  return "";
}
