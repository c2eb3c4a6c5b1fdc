#pragma once

#include <vector>

#include "structure/panel_file_reader.h"

/// The length on which the charge of each face varies, for the grading of its panels: the
/// shorter side of the face, or the distance to the nearest face that it does not touch (the
/// opposite side of a thin conductor, a neighbouring conductor) where that is smaller.
std::vector<double> feature_scales(const FineStructure& structure);
