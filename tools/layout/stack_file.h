#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <utility>
#include <vector>

#include "structure/exact_length.h"

/// A layer of a GDSII or OASIS layout.
struct GdsLayer {
  int32_t layer = 0;     // layer number, 0 to 2^31 - 1
  int32_t datatype = 0;  // datatype, 0 to 2^31 - 1
};

/// A metal or via layer of the stack: its shapes are conductor from z_bottom to z_top.
struct StackLayer {
  std::string name;          // a letter, then letters, digits and '_'; unique in the stack
  bool is_via = false;       // a via spans the gap between the two metals it joins
  GdsLayer gds;              // where its shapes are; no other metal or via uses it
  Femtometres z_bottom = 0;  // a metal's ZBOTTOM; a via's lower metal's top
  Femtometres z_top = 0;     // above z_bottom: ZBOTTOM + THICKNESS; the upper metal's bottom
  int32_t line = 0;          // line of the stack file that gives the layer
};

/// A layer of texts that name the nets they touch on one metal.
struct LabelLayer {
  GdsLayer gds;       // the texts' layer; may also hold a metal's or via's shapes
  int32_t metal = 0;  // index into Stack::layers of the metal whose nets it names
  int32_t line = 0;   // line of the stack file that gives it
};

/// A planar dielectric layer: it fills the space from the top of the layer below (for the
/// first, from the bottom of whatever holds it) up to z_top, and reaches sideways without end.
struct DielectricLayer {
  std::string name;          // a letter, then letters, digits and '_'; unique in the stack
  Femtometres z_top = 0;     // its top, above the top of the layer below
  std::string permittivity;  // relative permittivity, a positive decimal as short as possible
  int32_t line = 0;          // line of the stack file that gives it
};

/// What a stack file says: the heights of the layers, where the net names are, and the
/// dielectric around them.
struct Stack {
  std::vector<StackLayer> layers;            // metals and vias in file order; at least one metal
  std::vector<LabelLayer> labels;            // label layers in file order, no layer twice
  std::vector<DielectricLayer> dielectrics;  // bottom up; none for vacuum
};

/// Reads a stack file, `file_name` naming it in messages. Returns "" on success, else one line
/// "FILE:LINE: reason", or "FILE: reason" for the file as a whole.
std::string read_stack(std::istream& in, const std::string& file_name, Stack& stack);

/// The pairs (i, j), i < j, of layers whose height ranges meet, ends included: their shapes
/// are joined wherever they touch or overlap in the plane, as they do in space.
std::vector<std::pair<int32_t, int32_t>> touching_layer_pairs(const Stack& stack);
