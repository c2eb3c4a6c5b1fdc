#pragma once

#include <cstdint>

#include "common/instruction_set.h"

/// The signed sums of the closed forms over the corners of the rectangles, in registers of
/// several doubles. Every path gives the same bits (only IEEE operations in a fixed order, and
/// the sums taken lane by lane in the same order), so the choice of path changes only speed.
struct ClosedFormKernels {
  /// Σᵢ sᵢ Σⱼ sⱼ F(xs[i], ys[j], z) with s = (+, −, −, +), in ascending i and j: the parallel
  /// closed form of closed_form.cpp. `magnitude` is set to the sum of the magnitudes of the
  /// parts of all terms, of which the rounding of the sum is a few units of the last place.
  double (*parallel_sum)(const double xs[4], const double ys[4], double z, double& magnitude);
  /// The same sum with the parts of F that the second difference over xs cancels taken out
  /// first: far less rounding where every |xs[i]| is small against the corner distances.
  double (*reduced_parallel_sum)(const double xs[4], const double ys[4], double z,
                                 double& magnitude);
  /// Σᵢ sᵢ (G(xs[i], y₀, z₀) − G(xs[i], y₀, z₁) − G(xs[i], y₁, z₀) + G(xs[i], y₁, z₁)): the
  /// perpendicular one, with the parts of G that the differences over y and z cancel taken out
  /// first; `magnitude` likewise.
  double (*perpendicular_sum)(const double xs[4], const double ys[2], const double zs[2],
                              double& magnitude);
  /// f(x₀, y₀) − f(x₀, y₁) − f(x₁, y₀) + f(x₁, y₁) at height z: the potential of a rectangle
  /// from a point's offsets to its edges.
  double (*potential_sum)(const double xs[2], const double ys[2], double z);
};

/// The paths, each in a file compiled for its instruction set.
extern const ClosedFormKernels kClosedFormKernelsSse2;
extern const ClosedFormKernels kClosedFormKernelsAvx2;
extern const ClosedFormKernels kClosedFormKernelsAvx512;

/// The path of the closed forms' sums: the one VORNAX_ISA names if this processor has it, else
/// the widest it has.
InstructionSet closed_form_path();

/// The sums on closed_form_path().
const ClosedFormKernels& closed_form_kernels();
