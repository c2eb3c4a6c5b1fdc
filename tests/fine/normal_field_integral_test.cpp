// vornax-fine's normal-field integrals K(t, s) = ∬_t ∬_s n_t·∇(1/|x − x'|) against values found
// apart from the code under test: the target's double layer integrated numerically over the
// source in long double, the solid angle of a square, and Gauss's law over the faces of a box.

#include "fine/coefficients/normal_field_integral.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "fine/coefficients/normal_expansion.h"
#include "fine/coefficients/normal_field_kernels.h"
#include "rectangle_pairs.h"
#include "reference_integral.h"
#include "structure/space_box.h"

namespace {

// The potential's grid and more of what a mesh with dielectric blocks produces: sources below
// the target's plane as well as above, walls along a's other sides and under its plane, and
// pairs apart in a direction with negative components.
std::vector<Pair> normal_grid() {
  std::vector<Pair> pairs = grid();
  for (double w : {1.0, 1e-3}) {
    const AxisRect a = rect(2, 0, 0, 0, 1, w);
    for (double u : {1.0, 1e-3, 1e-4}) {
      for (double v : {1.0, 0.25, 1e-4}) {
        pairs.push_back(
            {a, rect(2, -0.3 * v, 0.5 - u / 2, w / 2 - v / 2, 0.5 + u / 2, w / 2 + v / 2)});
        pairs.push_back({a, rect(2, -1e-3 * v, 1 - u / 2, w - v / 2, 1 + u / 2, w + v / 2)});
        pairs.push_back({a, rect(0, 0, 0, 0, u, v)});   // a box's wall on a's edge x = 0
        pairs.push_back({a, rect(1, w, 0, 0, v, u)});   // on its edge y = w
        pairs.push_back({a, rect(1, 0, -v, 0, 0, u)});  // under its edge y = 0
        pairs.push_back({a, rect(0, 1, 0, -v, w, 0)});  // a T under the end x = 1
        const double c[3] = {0.5 - 3 * (1 + u), w / 2 + 4 * (1 + u), -8 * (1 + u)};
        pairs.push_back({a, rect(1, c[1], c[2], c[0], c[2] + v, c[0] + u)});
      }
    }
  }
  return pairs;
}

// The error in units of normal_field_scale, the yardstick of the stated accuracy.
double scaled_error(double value, long double reference, const AxisRect& t, const AxisRect& s) {
  return static_cast<double>(std::fabs(value - reference)) / normal_field_scale(t, s);
}

}  // namespace

// A source of side h at depth d under the middle of the unit square: K = −h²·Ω(d) to about
// (h/d)², Ω = 4·asin(1/(1 + 4d²)) the square's solid angle from its axis; and the reverse pair
// by the antisymmetry of parallel pairs.
TEST(NormalField, TheSolidAngleOfASquareFromASmallSourceUnderIt) {
  const AxisRect square = rect(2, 0, 0, 0, 1, 1);
  for (double d : {0.02, 0.3, 2.0, 40.0}) {
    const double h = 1e-5 * d;
    const AxisRect source = rect(2, -d, 0.5 - h / 2, 0.5 - h / 2, 0.5 + h / 2, 0.5 + h / 2);
    const double solid_angle = 4 * std::asin(1 / (1 + 4 * d * d));
    EXPECT_LT(relative(normal_field_integral(square, source), -h * h * solid_angle), 1e-8) << d;
    EXPECT_LT(relative(normal_field_integral(source, square), h * h * solid_angle), 1e-8) << d;
  }
}

// Gauss's law: the flux of the field of a source through a closed surface is −4π·A_s from
// inside, 0 from outside and −2π·A_s from a piece of the surface itself (the principal value, a
// flat panel adding nothing to its own flux). The box [0, 1] × [0, 2] × [0, 3] in 2 × 2 panels a
// face, outward normals; sources inside, touching the faces from inside along whole edges,
// outside, coplanar with a face and beside it, and each panel of the surface in turn.
TEST(NormalField, GaussLawOverTheFacesOfABox) {
  const double size[3] = {1, 2, 3};
  std::vector<AxisRect> panels;
  std::vector<double> outward;
  for (int32_t axis = 0; axis < 3; ++axis) {
    const double su = size[(axis + 1) % 3] / 2, sv = size[(axis + 2) % 3] / 2;
    for (int32_t side = 0; side < 2; ++side) {
      for (int32_t k = 0; k < 4; ++k) {
        const double u = (k % 2) * su, v = (k / 2) * sv;
        panels.push_back(rect(axis, side * size[axis], u, v, u + su, v + sv));
        outward.push_back(side == 0 ? -1 : 1);
      }
    }
  }
  const struct {
    AxisRect source;  // the source
    double flux;      // over its area
  } cases[] = {
      {rect(0, 0.4, 0.5, 0.7, 1.5, 2.2), -4 * M_PI},
      {rect(2, 1.1, 0.1, 0.3, 0.9, 1.9), -4 * M_PI},
      {rect(2, 1.5, 0, 0, 1, 2), -4 * M_PI},
      {rect(1, 1, 1, 0, 3, 1), -4 * M_PI},
      {rect(1, 2.5, 0.2, 0.1, 1.2, 0.9), 0},
      {rect(2, 3, 1, 0, 2, 2), 0},
      {rect(0, 1, 2, 1, 2.5, 3), 0},
  };
  auto check = [&](const AxisRect& source, double flux) {
    double sum = 0, yardstick = 0;
    for (size_t p = 0; p < panels.size(); ++p) {
      sum += outward[p] * normal_field_integral(panels[p], source);
      yardstick += normal_field_scale(panels[p], source);
    }
    const double area = (source.hi[0] - source.lo[0]) * (source.hi[1] - source.lo[1]);
    EXPECT_NEAR(sum, flux * area, 1e-6 * yardstick)
        << source.axis << " " << source.plane << " " << source.lo[0] << " " << source.lo[1];
  };
  for (const auto& c : cases) check(c.source, c.flux);
  for (const AxisRect& panel : panels) check(panel, -2 * M_PI);
}

// The heart of it: every relation, size ratio and aspect ratio of the grid, in all nine pairs of
// orientations (the grid turned and mirrored) and both orders, within 10⁻⁶ of the scale.
TEST(NormalField, AgreesWithNumericalIntegrationOverTheGrid) {
  double worst = 0;
  for (const Pair& base : normal_grid()) {
    for (int32_t turn = 0; turn < 3; ++turn) {
      const Pair p = moved(base, 1, 0, turn, turn == 2);
      for (const Pair& q : {p, Pair{p.b, p.a}}) {
        const double error = scaled_error(normal_field_integral(q.a, q.b),
                                          reference_normal_field(q.a, q.b), q.a, q.b);
        worst = std::fmax(worst, error);
        EXPECT_LT(error, 1e-6) << q.a.axis << " " << q.b.axis << " " << q.b.plane << " "
                               << q.b.lo[0] << " " << q.b.lo[1] << " " << q.b.hi[0] << " "
                               << q.b.hi[1] << " / " << q.a.hi[1];
      }
    }
  }
  std::printf("largest error over the grid, in units of the scale: %.2g\n", worst);
}

// K(s, t) = −K(t, s) to the bit for parallel pairs (I depends on their levels through their
// difference only); 0 exactly for one rectangle with itself and for coplanar ones.
TEST(NormalField, ParallelPairsAntisymmetricToTheBitAndOnePlaneZero) {
  for (const Pair& p : normal_grid()) {
    if (p.a.axis != p.b.axis) continue;
    EXPECT_EQ(normal_field_integral(p.b, p.a), -normal_field_integral(p.a, p.b));
    if (p.a.plane == p.b.plane) {
      EXPECT_EQ(normal_field_integral(p.a, p.b), 0.0);
    }
    EXPECT_EQ(normal_field_integral(p.b, p.b), 0.0);
  }
}

// No length is absolute: K(s·t, s·s) = s²·K(t, s), and moving, turning or mirroring the pair
// changes K by no more than the rounding of its coordinates and of the means can, but for its
// sign where the mirror reverses the target's normal. The means round to 10⁻¹¹ of the scale
// where Gauss–Legendre points take the pair (the field at a point loses up to 10⁴ units in the
// last place), measured worst 4e-11: the allowance is 10⁻¹⁰ and 10⁻¹⁵ times the largest
// coordinate over the shortest side.
TEST(NormalField, ScaleCovariantAndIndifferentToPlaceAndOrientation) {
  for (const Pair& base : normal_grid()) {
    for (const Pair& p : {base, Pair{base.b, base.a}}) {
      const double value = normal_field_integral(p.a, p.b), scale = normal_field_scale(p.a, p.b);
      for (double s : {1e-6, 3e-3, 0.37, 7.0, 1e6}) {
        const Pair q = moved(p, s, 0, 0, false);
        EXPECT_NEAR(normal_field_integral(q.a, q.b) / (s * s), value,
                    (1e-10 + 1e-15 * coordinate_spread(q)) * scale)
            << s << " " << p.a.axis << " " << p.b.axis << " " << p.b.plane << " " << p.b.lo[0];
      }
      for (int32_t turn = 0; turn < 3; ++turn) {
        const Pair q = moved(p, 1, turn == 0 ? 0.0 : 3.1, turn, turn != 1);
        const double sign = turn != 1 && q.a.axis == 0 ? -1 : 1;
        EXPECT_NEAR(sign * normal_field_integral(q.a, q.b), value,
                    (1e-10 + 1e-15 * coordinate_spread(q)) * scale)
            << turn;
      }
    }
  }
}

// The expansion's error bound holds relative to A·A'/D², down to the shapes that come closest
// to it: a segment and a point on its line, and squares at right angles and nearly edge-on.
TEST(NormalField, FarExpansionKeepsWithinItsBound) {
  const AxisRect segment = rect(2, 0, 0, 0, 1, 1e-4), square = rect(2, 0, 0, 0, 1, 1);
  for (double d : {2.2, 3.0, 5.0, 20.0, 300.0}) {
    const Pair pairs[] = {{segment, rect(0, 0.5 + d, 0, 0, 1e-4, 1e-4)},
                          {square, rect(1, 1 + d, 0.3, 0.2, 1.3, 1.2)},
                          {square, rect(2, 0.3 * d, 0.5 + d, 0.1, 1.5 + d, 1.1)}};
    for (const Pair& pair : pairs) {
      for (const Pair& p : {pair, Pair{pair.b, pair.a}}) {
        const SpaceBox a = space_box(p.a), b = space_box(p.b);
        double distance2 = 0;
        for (int32_t k = 0; k < 3; ++k) {
          const double d = (a.lo[k] + a.hi[k] - b.lo[k] - b.hi[k]) / 2;
          distance2 += d * d;
        }
        const double areas = (p.a.hi[0] - p.a.lo[0]) * (p.a.hi[1] - p.a.lo[1]) *
                             (p.b.hi[0] - p.b.lo[0]) * (p.b.hi[1] - p.b.lo[1]);
        for (double tolerance : {1e-3, 1e-7}) {
          const int32_t order = normal_expansion_order(p.a, p.b, tolerance);
          if (order < 0) continue;
          EXPECT_LT(std::fabs(normal_expansion_integral(p.a, p.b, order) -
                              reference_normal_field(p.a, p.b)),
                    tolerance * areas / distance2)
              << d << " " << order;
        }
      }
    }
  }
  EXPECT_EQ(normal_expansion_order(segment, rect(0, 2, 0, 0, 1e-4, 1e-4), 1e-7), -1);
}

// Every instruction-set path of the sums gives the same bits (a zero's sign included): two,
// four and eight lanes.
TEST(NormalField, KernelPathsAgreeToTheBit) {
  if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "no AVX2 on this processor";
  const int32_t path_count = __builtin_cpu_supports("avx512f") ? 3 : 2;
  const NormalFieldKernels* paths[3] = {&kNormalFieldKernelsSse2, &kNormalFieldKernelsAvx2,
                                        &kNormalFieldKernelsAvx512};
  auto bits_of = [](double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
  };
  const std::vector<CornerDifferences> inputs = awkward_differences(777, 2000);
  for (int32_t trial = 0; trial < 2000; ++trial) {
    const double *xs = inputs[trial].xs, *ys = inputs[trial].ys, *zs = inputs[trial].zs;
    const double z = std::fabs(zs[1]) + 1e-3;
    double sums[3][5], sizes[3][3];
    for (int32_t p = 0; p < path_count; ++p) {
      sums[p][0] = paths[p]->parallel_sum(xs, ys, z, sizes[p][0]);
      sums[p][1] = paths[p]->reduced_parallel_sum(xs, ys, z, sizes[p][1]);
      sums[p][2] = paths[p]->perpendicular_sum(xs, ys, zs, sizes[p][2]);
      sums[p][3] = paths[p]->solid_angle_sum(xs, ys, zs[0]);
      sums[p][4] = paths[p]->log_sum(xs, ys, zs[0]);
    }
    for (int32_t p = 1; p < path_count; ++p) {
      for (int32_t k = 0; k < 5; ++k)
        EXPECT_EQ(bits_of(sums[0][k]), bits_of(sums[p][k])) << trial << " " << k << " " << p;
      for (int32_t k = 0; k < 3; ++k)
        EXPECT_EQ(bits_of(sizes[0][k]), bits_of(sizes[p][k])) << trial << " " << k << " " << p;
    }
  }
}
