#pragma once

#include <string>
#include <vector>

#include "tools/layout/layout_nets.h"
#include "tools/layout/stack_file.h"

/// The name of a net and where it comes from.
struct NetName {
  std::string name;         // one token: a label's name, or the name of the net's place
  bool from_label = false;  // whether `name` is a label's
};

/// The name of a net without a label: the first stack layer (in file order) on which it has
/// shapes and the lowest of its leftmost points there, "met1_x0.5_y-2" for (0.5, -2) um.
std::string unlabelled_net_name(const LayoutNet& net, const Stack& stack, Femtometres dbu);

/// The label that names a net of `labels` (at least one): the cell's own labels before those of
/// subcells, then the shortest path, then the smallest text, then the smallest name (byte by
/// byte), so that the choice depends on nothing but the labels.
const NetLabel& naming_label(const std::vector<NetLabel>& labels);

/// The name of every net of `nets`, in order: its naming label's name, or its place's name
/// without one. `notes` gets one line for each net with other labels besides (naming them, at
/// most eight, in order) and for each name that several nets take (they are one conductor).
std::vector<NetName> name_nets(const LayoutNets& nets, const Stack& stack,
                               std::vector<std::string>& notes);
