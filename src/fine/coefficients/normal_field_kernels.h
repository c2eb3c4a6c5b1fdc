#pragma once

#include <cstdint>

/// The signed sums over the corners of two rectangles of the primitives of the normal-field
/// integral (normal_closed_form.cpp), and the field of one rectangle at a point, in registers of
/// several doubles. Every path gives the same bits (only IEEE operations in a fixed order, and
/// the sums taken lane by lane in the same order), so the choice of path changes only speed.
struct NormalFieldKernels {
  /// Σᵢ sᵢ Σⱼ sⱼ P(xs[i], ys[j], z) with s = (+, −, −, +), in ascending i and j, for z > 0: the
  /// parallel closed form. `magnitude` is set to the sum of the magnitudes of the parts of all
  /// terms, of which the rounding of the sum is a few units of the last place.
  double (*parallel_sum)(const double xs[4], const double ys[4], double z, double& magnitude);
  /// The same sum with the parts of P that the second difference over xs cancels taken out
  /// first: far less rounding where every |xs[i]| is small against the corner distances.
  double (*reduced_parallel_sum)(const double xs[4], const double ys[4], double z,
                                 double& magnitude);
  /// Σᵢ sᵢ (Q(xs[i], y₀, z₀) − Q(xs[i], y₀, z₁) − Q(xs[i], y₁, z₀) + Q(xs[i], y₁, z₁)): the
  /// perpendicular one, with the parts of Q that the differences over y and z cancel taken out
  /// first; `magnitude` likewise.
  double (*perpendicular_sum)(const double xs[4], const double ys[2], const double zs[2],
                              double& magnitude);
  /// Σ ± sign(z)·atan(X·Y/(|z|·R)) over the corners (X from xs[0] and xs[1], Y from ys[0] and
  /// ys[1], signs as in potential_sum of closed_form_kernels.h), 0 at z = 0: minus the derivative
  /// along its normal of the potential of a rectangle, from a point's offsets to its edges.
  double (*solid_angle_sum)(const double xs[2], const double ys[2], double z);
  /// Σ ± ln(Y + R) over the corners likewise: the derivative of the potential along the axis of
  /// the offsets xs; finite wherever the derivative is (off the rectangle's edges).
  double (*log_sum)(const double xs[2], const double ys[2], double z);
};

/// The paths, each in a file compiled for its instruction set.
extern const NormalFieldKernels kNormalFieldKernelsSse2;
extern const NormalFieldKernels kNormalFieldKernelsAvx2;
extern const NormalFieldKernels kNormalFieldKernelsAvx512;

/// The sums on closed_form_path() (closed_form_kernels.h).
const NormalFieldKernels& normal_field_kernels();
