// The far field's unrolled moves of degree 4 against the loops they replace, the moves on harmonic
// terms against the full sums, and the bound on its degrees.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "fine/far_field/taylor_terms.h"
#include "sparse/lane_kernels.h"

namespace {

typedef double V __attribute__((vector_size(kNarrowLanes * sizeof(double)), __may_alias__));
#include "fine/far_field/expansion_moves.inc"
#include "fine/far_field/unrolled_degree4.inc"

typedef std::vector<Lanes<kNarrowLanes>> Groups;

Groups random_groups(std::mt19937& random, int32_t count) {
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  Groups groups(count);
  for (auto& group : groups) {
    for (double& value : group.lane) value = uniform(random);
  }
  return groups;
}

std::vector<double> random_values(std::mt19937& random, int32_t count) {
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<double> v(count);
  for (double& value : v) value = uniform(random);
  return v;
}

V* vec(Groups& g) { return reinterpret_cast<V*>(g.data()); }
const V* vec(const Groups& g) { return reinterpret_cast<const V*>(g.data()); }

bool same_bits(const Groups& a, const Groups& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(a[0])) == 0;
}

}  // namespace

TEST(FarField, TheUnrolledMovesOfDegreeFourAreTheLoopsToTheBit) {
  const TaylorTerms terms(kHighestDegree);
  const int32_t used = terms_up_to(4);
  std::mt19937 random(4);
  for (int trial = 0; trial < 20; ++trial) {
    const std::vector<double> d = random_values(random, used), f0 = random_values(random, used),
                              f1 = random_values(random, used);
    const Groups m0 = random_groups(random, used), m1 = random_groups(random, used),
                 start = random_groups(random, used);
    Groups loop = start, unrolled = start;
    move_across_harmonic(terms, 4, d.data(), terms.parity.data(), vec(m0), vec(loop));
    move_across_degree4(d.data(), vec(m0), vec(unrolled));
    EXPECT_TRUE(same_bits(loop, unrolled)) << "across, trial " << trial;
    std::vector<double> mirrored(used);  // the pair from its other node: (-1)^degree d
    for (int32_t t = 0; t < used; ++t) mirrored[t] = terms.parity[t] * d[t];
    loop = unrolled = start;
    move_across_harmonic(terms, 4, mirrored.data(), terms.parity.data(), vec(m0), vec(loop));
    move_across_degree4_mirrored(d.data(), vec(m0), vec(unrolled));
    EXPECT_TRUE(same_bits(loop, unrolled)) << "mirrored, trial " << trial;
    move_moments_up(terms, used, f0.data(), vec(m0), f1.data(), vec(m1), vec(loop));
    move_moments_up_degree4(f0.data(), vec(m0), f1.data(), vec(m1), vec(unrolled));
    EXPECT_TRUE(same_bits(loop, unrolled)) << "up, trial " << trial;
    loop = unrolled = start;
    move_local_down(terms, used, f0.data(), vec(m0), vec(loop));
    move_local_down_degree4(f0.data(), vec(m0), vec(unrolled));
    EXPECT_TRUE(same_bits(loop, unrolled)) << "down, trial " << trial;
  }
}

// A move across a pair takes folded moments to the harmonic terms of the local expansion and
// makes the others from them. With the derivatives of 1/r as the tensor it must give every term
// of the full contraction L(out) = σ(out) Σ_in D(out + in) M(in), summed here term by term from
// arbitrary moments (not harmonic themselves), to rounding: at degrees 2 to 8, under each sign
// pattern of the far field.
TEST(FarField, TheMoveAcrossOnHarmonicTermsIsTheFullContraction) {
  const TaylorTerms terms(kHighestDegree);
  std::mt19937 random(8);
  std::vector<double> d(kMostTerms);
  for (int32_t degree : {2, 3, 4, 5, 8}) {
    const int32_t used = terms_up_to(degree);
    inverse_distance_derivatives(terms, degree, 0.9, -1.3, 2.1, d.data());
    for (const std::vector<int32_t>& exponents : {std::vector<int32_t>{1, 1, 1},     // degree
                                                  std::vector<int32_t>{0, 0, 1},     // v
                                                  std::vector<int32_t>{1, 1, 0}}) {  // t + u
      std::vector<double> sign(kMostTerms);
      for (int32_t k = 0; k < terms.count; ++k) {
        const int32_t power =
            exponents[0] * terms.t[k] + exponents[1] * terms.u[k] + exponents[2] * terms.v[k];
        sign[k] = power % 2 == 0 ? 1.0 : -1.0;
      }
      const Groups m = random_groups(random, kMostTerms);
      Groups full(kMostTerms, Lanes<kNarrowLanes>{}), scale(kMostTerms, Lanes<kNarrowLanes>{});
      for (int32_t out = 0; out < used; ++out) {
        for (int32_t in = 0; in < terms_up_to(degree - terms.degree[out]); ++in) {
          const double term = sign[out] * d[terms.sum[out * terms.count + in]];
          for (int w = 0; w < kNarrowLanes; ++w) {
            full[out].lane[w] += term * m[in].lane[w];
            scale[out].lane[w] += std::fabs(term * m[in].lane[w]);
          }
        }
      }
      Groups folded = m, harmonic(kMostTerms, Lanes<kNarrowLanes>{});
      fold_moments(terms, degree, vec(folded));
      move_across_harmonic(terms, degree, d.data(), sign.data(), vec(folded), vec(harmonic));
      raise_local(terms, degree, vec(harmonic));
      double worst = 0.0;  // in units of the sum of the magnitudes of its terms
      for (int32_t out = 0; out < used; ++out) {
        for (int w = 0; w < kNarrowLanes; ++w) {
          worst = std::max(
              worst, std::fabs(harmonic[out].lane[w] - full[out].lane[w]) / scale[out].lane[w]);
        }
      }
      EXPECT_LT(worst, 1e-13) << "degree " << degree << ", sign " << exponents[0] << exponents[1]
                              << exponents[2];
    }
  }
}

// The stack buffers of the far field are sized for kHighestDegree: a higher degree ends the
// program where the terms are made, before any buffer is used.
TEST(FarFieldDeathTest, ADegreeAboveTheHighestEndsTheProgram) {
  EXPECT_EQ(kMostTerms, TaylorTerms(kHighestDegree).count);
  EXPECT_DEATH(TaylorTerms(kHighestDegree + 1), "degree 13 asked for, 12 at the most");
}
