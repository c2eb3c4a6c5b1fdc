#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// Planar dielectric layers along z: layer 0 reaches down and the last layer up without end.
struct LayerStack {
  std::vector<double> permittivity;  // relative permittivity of each layer, bottom up, > 0
  std::vector<double> top;           // z of the boundary above each layer but the last, ascending
};

/// What is wrong with a stack, naming the layer ("layer 3: permittivity 0 is not positive"),
/// or an empty string for a stack that LayeredKernel accepts: at least one layer, one boundary
/// fewer than layers, finite positive permittivities, finite strictly ascending boundaries.
std::string layer_stack_problem(const LayerStack& stack);

/// The layer holding z; a z on a boundary belongs to the layer on `side` (-1 below, +1 above).
int32_t layer_of(const LayerStack& stack, double z, int32_t side);

/// A stack whose neighbouring layers differ in permittivity: runs of equal permittivity in the
/// given stack become one layer, since no interface lies between them.
struct MergedStack {
  std::vector<double> permittivity;  // relative permittivity of each merged layer, bottom up
  std::vector<double> top;           // boundaries between merged layers, ascending
  std::vector<int32_t> merged_of;    // merged layer of each layer of the given stack
};

/// The merged form of a valid stack.
MergedStack merge_equal_neighbours(const LayerStack& stack);
