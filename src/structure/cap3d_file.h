#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "structure/union_surface.h"

/// A box of a cap3d file and where the file gives it.
struct Cap3dBlock {
  SolidBox box;       // its extent, femtometres
  uint32_t line;      // line of its <block>
  std::string name;   // its name line's word, "" without one
  std::string layer;  // its layer line's word, "" without one
};

/// A <conductor> section: a part of the net its name gives (net_names.h).
struct Cap3dConductor {
  std::string name;                // as written: NET or PART__NET
  uint32_t line;                   // line of its <conductor>
  std::vector<Cap3dBlock> blocks;  // at least one, in file order
};

/// A <medium> section: dielectric blocks of one relative permittivity.
struct Cap3dMedium {
  std::string name;                // its name, "" without one
  uint32_t line;                   // line of its <medium>
  double permittivity;             // relative, positive
  std::vector<Cap3dBlock> blocks;  // at least one, in file order
};

/// A <plate_medium> section: a planar layer from the top of the one below (the first from the
/// window's bottom) to z_top.
struct Cap3dPlate {
  std::string name;     // its name, "" without one
  uint32_t line;        // line of its <plate_medium>
  double permittivity;  // relative, positive
  Femtometres z_top;    // its upper boundary, above the one below
};

/// A <layer> section: the name of a process layer that blocks refer to; read for the record.
struct Cap3dLayerName {
  std::string name;  // its name, "" without one
  std::string id;    // its id as written, "" without one
  std::string type;  // its type as written, "" without one
  uint32_t line;     // line of its <layer>
};

/// A name in the task's <capacitance> list.
struct Cap3dTaskName {
  std::string name;  // a net's name
  uint32_t line;     // where it stands
};

/// A cap3d file as written: every section in file order, lengths exact in femtometres.
struct Cap3dFile {
  std::string window_name;                  // the window's name, "" without one
  SolidBox window;                          // the problem box, from its two corners
  uint32_t window_line = 0;                 // line of its <window>
  std::vector<Cap3dPlate> plates;           // the planar layers, bottom up
  std::vector<Cap3dMedium> media;           // dielectric blocks by permittivity, file order
  std::vector<Cap3dConductor> conductors;   // file order, at least one
  std::vector<Cap3dLayerName> layer_names;  // file order
  std::vector<Cap3dTaskName> task;          // the master nets asked for, in order; may be empty
  uint32_t last_line = 0;                   // line of </cap3d>
};
