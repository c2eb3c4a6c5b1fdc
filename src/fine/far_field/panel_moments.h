#pragma once

#include <cstdint>
#include <vector>

#include "fine/far_field/taylor_terms.h"

/// A moment of each panel, by term of the Taylor expansions about its leaf's centre, as the
/// product of three sequences, one per axis: m(t, u, v) = X(t) Y(u) Z(v). For a panel's unit
/// charge they are the moments of rectangle_axis_moments; what a row of the system measures on
/// the panel (its mean potential, or another functional of the local expansion) has moments of
/// the same form. The products up to a lower degree, which most products of the far field take,
/// are kept; above it they are multiplied out as they are needed.
class PanelMoments {
 public:
  PanelMoments() = default;
  /// Room for `panels` panels with sequences up to terms.highest, products kept up to `kept`.
  PanelMoments(int32_t panels, const TaylorTerms& terms, int32_t kept);

  /// Sets the three sequences of `panel`, degree 0 .. terms.highest each, and its kept products.
  void set(int32_t panel, const TaylorTerms& terms, const double axis[3][kHighestDegree + 1]);

  /// The first `used` moments of `panel`: kept ones, or multiplied out into `fresh` (kMostTerms
  /// values).
  const double* of(int32_t panel, const TaylorTerms& terms, int32_t used, double* fresh) const {
    if (used <= kept_terms_) return &kept_[static_cast<int64_t>(panel) * kept_terms_];
    const double* x = &axis_[static_cast<int64_t>(panel) * 3 * axis_length_];
    const double* y = x + axis_length_;
    const double* z = y + axis_length_;
    for (int32_t k = 0; k < used; ++k) fresh[k] = x[terms.t[k]] * y[terms.u[k]] * z[terms.v[k]];
    return fresh;
  }

  /// Whether no panel has moments here.
  bool empty() const { return axis_.empty(); }
  /// The memory the moments take.
  int64_t bytes() const;

 private:
  int32_t axis_length_ = 0;   // values of one sequence: the highest degree plus one
  int32_t kept_terms_ = 0;    // products kept per panel: the terms up to the kept degree
  std::vector<double> axis_;  // per panel, its three sequences one after another
  std::vector<double> kept_;  // per panel, its products of the kept terms
};
