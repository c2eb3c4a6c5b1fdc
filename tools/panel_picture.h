#pragma once

#include <string>

#include "model/capacitance_extractor.h"
#include "tools/structure_panels.h"
#include "tools/svg_picture.h"

/// The picture of the panels of a structure file, as read_labelled_panels reads them, its
/// conductors named by their labels. The caption names `file_name` and the counts.
Picture picture_of_structure(const LabelledPanels& panels, const std::string& file_name);

/// The picture of the panels that `extractor` holds after refine_all_pairs: every panel that
/// was not split, each outlined, coloured by the conductor of its input panel. The caption
/// names `file_name` and the counts.
Picture picture_of_leaves(const CapacitanceExtractor& extractor, const std::string& file_name);
