#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "structure/axis_rect.h"
#include "structure/space_box.h"

/// One conductor of a structure: a run of consecutive panels. In a panel file, a run of records
/// with the same label; in a cap3d file, a net: the outer surface of all its blocks.
struct FineConductor {
  std::string label;     // panel file: the conductor token of its first record; cap3d: net name
  uint32_t first_panel;  // position of its first panel in FineStructure::panels
  uint32_t panel_count;  // number of its panels, at least 1; they follow one another
};

/// What lies outside a conductor's panel. The conductor itself lies on the other side.
struct PanelSide {
  int32_t outward;      // +1: outside is above the panel's level along its axis, -1: below; 0: the
                        // file does not say (a panel file)
  double permittivity;  // relative permittivity of the medium touching the panel outside: a
                        // dielectric block's, or else the planar layer's
  double background;    // relative permittivity of the planar layer there (as if no block were)
};

/// A planar layer of the stack. It fills all of the plane between the top of the layer below
/// (for the lowest, the window's bottom; below it the structure says nothing) and z_top.
struct PlanarLayer {
  std::string name;     // as the file names it, "" without a name
  double z_top;         // its upper boundary; the highest layer reaches upward without end
  double permittivity;  // relative permittivity, positive
};

/// A dielectric block as the file gives it, for drawing: where the medium is not the layer's.
struct DielectricBlock {
  SpaceBox box;         // its extent (lo < hi along every axis)
  double permittivity;  // relative permittivity; where blocks overlap the later one's holds
  uint32_t line;        // line of its <block> in the file
};

/// A piece of a surface across which the medium changes in a way that the planar layers alone
/// do not give, so that it carries unknown charge: the faces of dielectric blocks where no
/// conductor covers them, and the planar boundaries inside blocks. The permittivities are
/// constant over the piece; along its axis, e1 = real_below, e2 = real_above, eA =
/// background_below, eB = background_above, and c = (eA + eB) (e1 / eA - e2 / eB) / (e1 + e2)
/// is not 0 (pieces where it is are left out).
struct DielectricPiece {
  AxisRect rect;            // where it lies
  double real_below;        // relative permittivity just below rect.plane along its axis
  double real_above;        // just above
  double background_below;  // of the planar layer just below (for a face across x or y, the
                            // layer it lies in; then equal to background_above)
  double background_above;  // of the planar layer just above
};

/// The medium the conductors lie in. Empty layers: one uniform medium of relative permittivity
/// 1 (a panel file). Every piece of every conductor panel and dielectric piece lies within one
/// planar layer (a face across z on a boundary counts to the layer on its outside, or above).
struct StructureMedium {
  std::vector<PlanarLayer> layers;           // bottom up; empty for a panel file
  bool has_window = false;                   // a cap3d file's window is known
  SpaceBox window = {{0, 0, 0}, {0, 0, 0}};  // the problem box; its bottom is the lowest layer's
  bool window_grounded = false;              // its four sides and top are panels of a grounded net
                                             // (GROUND, or "window" appended last); else the
                                             // layers reach sideways without end
  uint32_t window_net = 0;                   // with window_grounded: the conductor of its walls
  std::vector<DielectricBlock> blocks;       // as read, in file order
  std::vector<DielectricPiece> pieces;       // the interfaces that carry unknowns
};

/// A structure as vornax-fine and the companions read it, from a panel file or a cap3d file.
/// Panel files: panel k is record k + 1 of the file; every PanelSide is {0, 1, 1}.
struct FineStructure {
  std::vector<AxisRect> panels;              // conductor panels: in file order (panel file), or by
                                             // net, each net's outer surface cut where a layer
                                             // boundary crosses it or the medium outside changes
  std::vector<uint32_t> conductor_of_panel;  // conductor (0-based) of each panel
  std::vector<FineConductor> conductors;     // in file order; cap3d: nets in order of their first
                                             // conductor section, then "window" if appended
  std::vector<PanelSide> panel_sides;        // what lies outside each panel, as panels
  StructureMedium medium;                    // layers, window, blocks and dielectric pieces
  std::vector<uint32_t> master_nets;         // the nets the file's task asks for (a panel file:
                                             // its line "masters N ..."), indices into
                                             // conductors, in its order; empty: no task
  std::string length_unit;                   // unit of every coordinate: "um" for cap3d; a panel
                                             // file's line "unit U", else "": it does not say
};
