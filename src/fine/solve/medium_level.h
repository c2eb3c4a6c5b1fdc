#pragma once

#include <cstdint>
#include <vector>

#include "fine/solve/solve_level.h"

/// solve_level for a level in a medium: in a layer stack (near coefficients and far field
/// through the images of its kernels, the clusters split by layer first), with dielectric pieces
/// (the system that is not symmetric, by GMRES), or for master conductors only. Each row is the
/// free charges of a master's solve.
LevelResult solve_level_in_medium(const LevelSystem& system, const std::vector<double>& feature,
                                  int32_t m, const LevelSettings& settings,
                                  const LevelResult* previous);
