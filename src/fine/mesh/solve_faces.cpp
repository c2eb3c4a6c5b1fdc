#include "fine/mesh/solve_faces.h"

#include <cmath>

namespace {

/// The layer a face lies in; `side` picks the layer of a face across z on a boundary.
int32_t face_layer(const LayerStack& stack, const AxisRect& rect, int32_t side) {
  if (rect.axis == 2) return layer_of(stack, rect.plane, side);
  // z runs along the second extent of an x-normal face, the first of a y-normal one.
  const int k = rect.axis == 0 ? 1 : 0;
  return layer_of(stack, 0.5 * (rect.lo[k] + rect.hi[k]), 1);
}

LayerStack stack_of(const StructureMedium& medium, double permittivity) {
  LayerStack stack;
  if (medium.layers.empty()) {
    stack.permittivity.push_back(permittivity);
    return stack;
  }
  for (size_t k = 0; k < medium.layers.size(); ++k) {
    stack.permittivity.push_back(medium.layers[k].permittivity);
    if (k + 1 < medium.layers.size()) stack.top.push_back(medium.layers[k].z_top);
  }
  return stack;
}

}  // namespace

SolveFaces solve_faces(const FineStructure& structure, double permittivity) {
  SolveFaces out;
  out.structure = structure;
  out.stack = stack_of(structure.medium, permittivity);
  out.no_conductor = static_cast<uint32_t>(structure.conductors.size());
  // A structure that says nothing of its panels' sides has them all in the uniform medium.
  if (out.structure.panel_sides.size() != structure.panels.size())
    out.structure.panel_sides.assign(structure.panels.size(), PanelSide{0, 1.0, 1.0});
  for (size_t f = 0; f < structure.panels.size(); ++f) {
    const PanelSide& side = out.structure.panel_sides[f];
    const int32_t layer = face_layer(out.stack, structure.panels[f], side.outward < 0 ? -1 : 1);
    // A panel file's sides are all {0, 1, 1}: the uniform medium. A cap3d file without planar
    // layers is in vacuum, but its blocks still count.
    const double factor = side.permittivity / side.background;
    out.medium.push_back(FaceMedium{layer, false, factor});
    out.symmetric = out.symmetric && factor == 1.0;
  }
  for (const DielectricPiece& piece : structure.medium.pieces) {
    const int32_t layer = face_layer(out.stack, piece.rect, 1);
    const double e1 = piece.real_below, e2 = piece.real_above;
    const double ea = piece.background_below, eb = piece.background_above;
    const double c = (ea + eb) * (e1 / ea - e2 / eb) / (e1 + e2);
    out.medium.push_back(FaceMedium{layer, true, c * out.stack.permittivity[layer] / (4 * M_PI)});
    out.structure.panels.push_back(piece.rect);
    out.structure.conductor_of_panel.push_back(out.no_conductor);
    out.structure.panel_sides.push_back(PanelSide{0, e2, eb});
    ++out.pieces;
  }
  out.symmetric = out.symmetric && out.pieces == 0;
  out.uniform = out.symmetric;
  out.uniform_permittivity = out.stack.permittivity[0];
  for (double eps : out.stack.permittivity)
    out.uniform = out.uniform && eps == out.stack.permittivity[0];
  return out;
}
