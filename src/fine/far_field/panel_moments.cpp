#include "fine/far_field/panel_moments.h"

#include <cstddef>

#include "common/vector_bytes.h"

PanelMoments::PanelMoments(int32_t panels, const TaylorTerms& terms, int32_t kept)
    : axis_length_(terms.highest + 1),
      kept_terms_(terms_up_to(kept)),
      axis_(static_cast<std::size_t>(panels) * 3 * axis_length_),
      kept_(static_cast<std::size_t>(panels) * kept_terms_) {}

void PanelMoments::set(int32_t panel, const TaylorTerms& terms,
                       const double axis[3][kHighestDegree + 1]) {
  double* sequences = &axis_[static_cast<std::size_t>(panel) * 3 * axis_length_];
  for (int32_t a = 0; a < 3; ++a) {
    for (int32_t j = 0; j < axis_length_; ++j) sequences[a * axis_length_ + j] = axis[a][j];
  }
  double* kept = &kept_[static_cast<std::size_t>(panel) * kept_terms_];
  for (int32_t k = 0; k < kept_terms_; ++k)
    kept[k] = axis[0][terms.t[k]] * axis[1][terms.u[k]] * axis[2][terms.v[k]];
}

int64_t PanelMoments::bytes() const { return vectors_bytes(axis_, kept_); }
