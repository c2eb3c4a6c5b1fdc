// What the images of a pair share, against the per-image functions and checks it stands in for:
// random pairs of rectangles at reaches around the far expansion's limits, each seen through
// random images (moved or mirrored along z), at random allowances.

#include "fine/coefficients/image_pair.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "fine/coefficients/layered_integral.h"
#include "fine/coefficients/normal_expansion.h"
#include "fine/coefficients/normal_field_integral.h"
#include "fine/coefficients/pair_expansion.h"
#include "fine/coefficients/pair_means.h"
#include "fine/media/image_term.h"
#include "rectangle_pairs.h"

namespace {

// A rectangle of random axis and sides from 0.01 to 1, its centre at `centre`.
AxisRect random_rect(std::mt19937_64& random, const double centre[3]) {
  std::uniform_real_distribution<double> exponent(-2, 0);
  const int32_t axis = static_cast<int32_t>(random() % 3);
  const double u = std::pow(10.0, exponent(random)), v = std::pow(10.0, exponent(random));
  const double cu = centre[(axis + 1) % 3], cv = centre[(axis + 2) % 3];
  return rect(axis, centre[axis], cu - u / 2, cv - v / 2, cu + u / 2, cv + v / 2);
}

// The far expansion's own verdict, both ways round (the means may take either order), at the
// tolerance the means would give it under `allowance`.
bool check_takes(const AxisRect& a, const AxisRect& b, ExpansionOf of, double allowance) {
  const SpaceBox box_a = space_box(a), box_b = space_box(b);
  const double area = rectangle_area(a) * rectangle_area(b);
  double value = 0;
  if (of == ExpansionOf::potential) {
    const double tolerance = std::fmax(
        kFarTolerance, std::fmin(kLoosestFarTolerance, allowance * box_gap(box_a, box_b) / area));
    return far_expansion_within(a, b, tolerance, FarOrderBound::own_shape, value) ||
           far_expansion_within(b, a, tolerance, FarOrderBound::own_shape, value);
  }
  double squared = 0;
  for (int32_t d = 0; d < 3; ++d) {
    const double offset = (box_a.lo[d] + box_a.hi[d] - box_b.lo[d] - box_b.hi[d]) / 2;
    squared += offset * offset;
  }
  const double tolerance =
      std::fmax(kFarTolerance, std::fmin(kLoosestFarTolerance, allowance * squared / area));
  return normal_expansion_within(a, b, tolerance, FarOrderBound::own_shape, value) ||
         normal_expansion_within(b, a, tolerance, FarOrderBound::own_shape, value);
}

}  // namespace

TEST(ImagePair, RulesOutOnlyWhatTheExpansionRefusesAndKeepsTheBoundsBits) {
  std::mt19937_64 random(20261210);
  std::uniform_real_distribution<double> unit(-1, 1), reach(0.1, 0.8), exponent(-12, -1);
  int64_t refused[2] = {0, 0}, ruled_out[2] = {0, 0};
  for (int32_t trial = 0; trial < 4000; ++trial) {
    const double origin[3] = {unit(random), unit(random), unit(random)};
    const AxisRect a = random_rect(random, origin);
    // b's centre in a random direction at a distance that puts the reach near the limits.
    double direction[3] = {unit(random), unit(random), unit(random)}, norm = 0;
    for (double d : direction) norm += d * d;
    const double size = std::fmax(a.hi[0] - a.lo[0], a.hi[1] - a.lo[1]);
    const double distance = size / reach(random);
    double centre[3];
    for (int32_t d = 0; d < 3; ++d)
      centre[d] = origin[d] + distance * direction[d] / std::sqrt(norm);
    const AxisRect b = random_rect(random, centre);
    ImagePair pair = image_pair(a, b);
    for (int32_t n = 0; n < 4; ++n) {
      const ImageTerm term{1.0, random() % 2 == 0, n == 0 ? 0.0 : 2 * unit(random)};
      const AxisRect image = image_rect(b, term);
      ASSERT_EQ(image_lower_bound(pair, image), galerkin_lower_bound(a, image));
      ASSERT_EQ(image_normal_scale(pair, image), normal_field_scale(a, image));
      const double allowance =
          rectangle_area(a) * rectangle_area(b) * std::pow(10.0, exponent(random));
      for (int32_t of = 0; of < 2; ++of) {
        const ExpansionOf kind = static_cast<ExpansionOf>(of);
        const bool takes = check_takes(a, image, kind, allowance);
        const bool ruled = far_ruled_out(pair, image, kind, allowance);
        EXPECT_FALSE(ruled && takes) << "trial " << trial << " image " << n << " kind " << of;
        refused[of] += takes ? 0 : 1;
        ruled_out[of] += ruled ? 1 : 0;
      }
    }
  }
  // Nearly every refusal is foreseen (the bound is the check's own, from shared parts).
  for (int32_t of = 0; of < 2; ++of) {
    EXPECT_GT(refused[of], 1000);
    EXPECT_GE(ruled_out[of], 0.97 * refused[of]) << "kind " << of;
  }
}
