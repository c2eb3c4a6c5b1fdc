#pragma once

#include <cstdint>
#include <vector>

#include "fine/media/layered_kernel.h"
#include "fine/mesh/solve_faces.h"
#include "fine/solve/solve_level.h"

/// The relative error of a level's own matrix from its far field, its near coefficients
/// (settings.near_tolerance, a third of it) and its solves, in proportion to the diagonal entries.
double level_floor(const LevelSettings& settings);

/// The kernels' share of a level's error, relative to the diagonal entries: the largest bound of
/// the fits of the layers the faces lie in (each bounds the kernel's error relative to the
/// potential of a point charge in the weaker medium, and so a capacitance's). Makes those fits.
double kernel_floor(const LayeredKernel& kernel, const SolveFaces& faces);

/// The relative tolerance of the layered kernels' fit before anything is known of the matrix:
/// well below the accuracy, so that the fit's error does not show in the level differences.
double kernel_tolerance_for(double accuracy);

/// The fit's error bound wanted once a first level's matrix is known (rows as for
/// estimate_convergence). The estimate adds the fit's bound times the geometric mean of an entry's
/// two diagonal entries to the entry; for a coupling that is small against both of them, that term
/// alone can exceed the accuracy whatever the levels do. The tolerance is set so that the term
/// stays a tenth of the accuracy on the smallest entry that counts, with a margin for the first
/// level's coarse values (entries of half the threshold count, the tolerance is halved): never
/// above kernel_tolerance_for(accuracy), never below a hundredth of it.
double kernel_tolerance_for_matrix(double accuracy, const std::vector<double>& matrix,
                                   int32_t conductors, const std::vector<int32_t>& rows);
