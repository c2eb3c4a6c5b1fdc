// The near coefficients of a row, computed with the cache's slots fetched ahead, against the same
// pairs one at a time: in one medium and through a stack's images, on panels whose shapes repeat
// (most pairs found in the table) and on panels that do not (the cache stops looking pairs up
// part-way through a row, with probes made before the stop and used after it).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "fine/media/layered_kernel.h"
#include "fine/solve/near_field.h"

namespace {

uint64_t bits_of(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// A panel of normal `axis` at `plane` with its lower corner at (u, v) and sides su, sv.
MeshPanel panel(int32_t axis, double plane, double u, double v, double su, double sv) {
  MeshPanel p;
  p.rect.axis = axis;
  p.rect.plane = plane;
  p.rect.lo[0] = u;
  p.rect.lo[1] = v;
  p.rect.hi[0] = u + su;
  p.rect.hi[1] = v + sv;
  p.area = su * sv;
  p.conductor = 0;
  return p;
}

// `count` panels between z = -0.5 and 1.45: on a grid of equal squares (`regular`), whose pairs
// repeat by translation, or of random sides and places, whose pairs hardly ever do. Walls (x
// normal) and floors (z normal) alternate.
LevelMesh panels(bool regular, int32_t count, uint64_t seed) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> unit(0, 1);
  LevelMesh mesh;
  for (int32_t k = 0; k < count; ++k) {
    if (regular) {
      const double u = 0.25 * (k % 16), v = 0.25 * ((k / 16) % 16);
      mesh.panels.push_back(k % 2 == 0 ? panel(2, 0.5 * (k % 3) - 0.25, u, v, 0.25, 0.25)
                                       : panel(0, u, v, 0.3, 0.25, 0.15));
    } else {
      const double su = 0.05 + 0.3 * unit(random), sv = 0.05 + 0.3 * unit(random);
      const double u = 4 * unit(random), v = 4 * unit(random);
      // Floors below z = 0.25 or above 0.9, walls between: none crosses another.
      const double w = unit(random);
      const double floor = w < 0.5 ? -0.5 + 1.4 * w : 0.95 + w - 0.5;
      mesh.panels.push_back(k % 2 == 0 ? panel(2, floor, u, v, su, sv)
                                       : panel(0, u, v, 0.3 + 0.4 * w, su, sv / 2));
    }
  }
  mesh.face_first = {0, static_cast<uint32_t>(count)};
  return mesh;
}

// Every row through near_row_values against each pair alone through a second cache; returns
// the number of pairs compared. A row takes the columns from its own on (`upper`, as the
// symmetric near field does; in one medium a pair and its swap share a shape) or all of them.
int64_t compare_rows(const LevelMesh& mesh, const NearMedium* medium, bool upper) {
  CoefficientCache ahead, alone;
  const int32_t n = static_cast<int32_t>(mesh.panels.size());
  std::vector<int32_t> columns(n);
  for (int32_t j = 0; j < n; ++j) columns[j] = j;
  std::vector<double> values(n);
  int64_t compared = 0;
  for (int32_t a = 0; a < n; ++a) {
    // Rows of every length, from one column to all of them.
    const int32_t first = upper ? a : 0;
    const int32_t count = a % 7 == 0 ? std::min(1 + a % 5, n - first) : n - first;
    near_row_values(ahead, mesh, medium, a, &columns[first], count, values.data());
    for (int32_t k = 0; k < count; ++k) {
      const int32_t j = first + k;
      const double one = medium != nullptr
                             ? medium->coefficient(alone, mesh, a, j)
                             : alone.coefficient(mesh.panels[a].rect, mesh.panels[j].rect);
      EXPECT_EQ(bits_of(values[k]), bits_of(one)) << a << " " << j;
      ++compared;
    }
  }
  return compared;
}

}  // namespace

TEST(NearRowValues, InOneMediumTheBitsOfOnePairAtATime) {
  // Beyond the 65,536 look-ups after which a cache that finds few pairs stops looking up.
  EXPECT_GT(compare_rows(panels(false, 400, 5), nullptr, true), 65536);
  EXPECT_GT(compare_rows(panels(true, 400, 5), nullptr, true), 65536);
}

TEST(NearRowValues, ThroughAStacksImagesTheBitsOfOnePairAtATime) {
  LayerStack stack;
  stack.permittivity = {3.9, 1.0, 7.5};
  stack.top = {0.0, 1.0};
  const LayeredKernel kernel(stack, 1e-4);
  for (bool regular : {false, true}) {
    const LevelMesh mesh = panels(regular, 120, 9);
    NearMedium medium;
    medium.kernel = &kernel;
    medium.layers = 3;
    for (const MeshPanel& p : mesh.panels) {
      const SpaceBox box = space_box(p.rect);
      const double z = (box.lo[2] + box.hi[2]) / 2;
      medium.layer.push_back(z < 0 ? 0 : z < 1 ? 1 : 2);
    }
    EXPECT_GT(compare_rows(mesh, &medium, false), 10000);
    // Some rows take the normal field, as a dielectric piece's do.
    medium.normal_row.assign(mesh.panels.size(), 0);
    for (size_t p = 0; p < mesh.panels.size(); p += 3) medium.normal_row[p] = 1;
    EXPECT_GT(compare_rows(mesh, &medium, false), 10000);
  }
}
