#pragma once

#include <string>
#include <vector>

#include "tools/layout/layout_arguments.h"
#include "tools/layout/layout_nets.h"
#include "tools/layout/stack_file.h"

/// Runs the KLayout script (vornax_layout.py) on the layout that `arguments` name, with the
/// layers of `stack`, in a temporary folder of its own, and reads what it found into `nets`.
/// Returns "" on success, else the reason: KLayout or the script missing, the script's own
/// reason for refusing the layout, or how KLayout failed.
std::string find_nets(const LayoutArguments& arguments, const Stack& stack, LayoutNets& nets);

/// The same for every cell of `arguments.cells`, the layout read once by one KLayout run:
/// `nets[k]` and `errors[k]` ("" or the reason that cell cannot be converted) for cell k.
/// Returns "" or the reason none can be: KLayout or the script missing, the layout unreadable,
/// KLayout failed.
std::string find_nets_of_cells(const LayoutArguments& arguments, const Stack& stack,
                               std::vector<LayoutNets>& nets, std::vector<std::string>& errors);
