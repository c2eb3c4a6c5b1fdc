#pragma once

#include <string>

#include "model/capacitance_extractor.h"
#include "tools/svg_picture.h"

/// The picture of the panels that `extractor` holds: with `leaves` false,
/// every input panel (as after read_panel_file); with `leaves` true, every
/// panel that was not split (as after refine_all_pairs). The caption names
/// `file_name` and the counts.
Picture picture_of_panels(const CapacitanceExtractor& extractor, bool leaves,
                          const std::string& file_name);
