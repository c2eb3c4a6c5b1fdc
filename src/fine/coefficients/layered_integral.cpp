// The images of a pair summed with one error budget among them.
//
// Why the budget holds: term n is computed within kMeansBound · I_n + α_n
// (galerkin_integral_within), so the sum errs by at most
//   Σ |w_n| (kMeansBound · I_n + α_n) = kMeansBound · S + Σ |w_n| α_n,   S = Σ |w_n| I_n.
// Each of the N terms takes α_n = (kLayeredIntegralBound − kMeansBound) · M / (N |w_n|), where
// M = max_n |w_n| L_n and L_n ≤ I_n (galerkin_lower_bound), so Σ |w_n| α_n ≤
// (kLayeredIntegralBound − kMeansBound) · M ≤ (kLayeredIntegralBound − kMeansBound) · S and the
// error is within kLayeredIntegralBound · S. M rather than S: where the weights cancel (a stack's
// kernels can have Σ |w_n| thousands of times the largest |w_n|), what the allowances add stays
// below 1e-6 of the largest single term, so a coefficient moves by no more than that and the
// kernel's own fit error (relative to the direct term) dwarfs it. A term whose integral is a small
// share of the sum takes an allowance large against itself (the far expansion of a low order, the
// closed form in double where it rounds more); the terms that make the sum keep about 1e-6 / N.
// The normal field's sum is alike, with normal_field_scale for L_n (known before, no lower bound
// needed) and kNormalMeansBound for kMeansBound.

#include "fine/coefficients/layered_integral.h"

#include <algorithm>
#include <cmath>

#include "fine/coefficients/galerkin_integral.h"
#include "fine/coefficients/image_pair.h"
#include "fine/coefficients/normal_field_integral.h"
#include "fine/coefficients/pair_means.h"

double galerkin_lower_bound(const AxisRect& a, const AxisRect& b) {
  const SpaceBox box_a = space_box(a), box_b = space_box(b);
  double squared = 0;
  for (int32_t d = 0; d < 3; ++d) {
    const double centres = (box_a.lo[d] + box_a.hi[d] - box_b.lo[d] - box_b.hi[d]) / 2;
    const double sa = box_a.hi[d] - box_a.lo[d], sb = box_b.hi[d] - box_b.lo[d];
    squared += centres * centres + (sa * sa + sb * sb) / 12;
  }
  return rectangle_area(a) * rectangle_area(b) / std::sqrt(squared);
}

namespace {

/// Σ_n w_n value(image_n(b), allowance_n, try_far_n), the allowances shared out of 1e-6 of the
/// largest |w_n| size(image_n(b)) beside the means' own `means_bound` (the proof above), and the
/// far expansion ruled out of each image, before it is set up, where it would refuse it. What the
/// images share is worked out once (image_pair.h).
template <typename Size, typename Value>
double budgeted_sum(const AxisRect& a, const AxisRect& b, const LayerPairKernel& kernel,
                    double means_bound, ExpansionOf of, Size size, Value value) {
  ImagePair pair = image_pair(a, b);
  double largest = 0;  // M
  for (const ImageTerm& term : kernel.terms) {
    const double image_size = size(pair, image_rect(b, term));
    largest = std::max(largest, std::fabs(term.weight) * image_size);
  }
  const double share =
      (kLayeredIntegralBound - means_bound) * largest / static_cast<double>(kernel.terms.size());
  double sum = 0;
  for (const ImageTerm& term : kernel.terms) {
    if (term.weight == 0) continue;
    const AxisRect image = image_rect(b, term);
    const double allowance = share / std::fabs(term.weight);
    const bool try_far = !far_ruled_out(pair, image, of, allowance);
    sum += term.weight * value(image, allowance, try_far);
  }
  return sum;
}

}  // namespace

double layered_potential_integral(const AxisRect& a, const AxisRect& b,
                                  const LayerPairKernel& kernel) {
  return budgeted_sum(a, b, kernel, kMeansBound, ExpansionOf::potential, image_lower_bound,
                      [&](const AxisRect& image, double allowance, bool try_far) {
                        return galerkin_integral_within(a, image, allowance, try_far);
                      });
}

double layered_normal_field(const AxisRect& a, const AxisRect& b, const LayerPairKernel& kernel) {
  return budgeted_sum(a, b, kernel, kNormalMeansBound, ExpansionOf::normal_field,
                      image_normal_scale,
                      [&](const AxisRect& image, double allowance, bool try_far) {
                        return normal_field_integral_within(a, image, allowance, try_far);
                      });
}
