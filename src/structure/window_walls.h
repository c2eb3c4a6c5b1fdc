#pragma once

#include <vector>

#include "structure/union_surface.h"

/// The grounded window of `--window ground`: its four sides and its top as conductor boxes
/// outside it, each as thick as the window is wide so that they overlap at the edges, and as the
/// five faces that look into it. The bottom stays as the file has it (its substrate net).
void window_walls(const SolidBox& window, std::vector<SolidBox>& walls,
                  std::vector<SurfaceRect>& faces);
