// The surface of a union of boxes, its cavities and the index behind them, against quadratic
// definitions: a grid of every coordinate, and voxels flooded from outside.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "structure/box_index.h"
#include "structure/union_cavities.h"
#include "structure/union_surface.h"

namespace {

/// Random boxes with corners on 0 .. size - 1, each coordinate scaled by `unit` femtometres.
std::vector<SolidBox> random_boxes(std::mt19937& random, int count, int size, Femtometres unit) {
  std::vector<SolidBox> boxes(count);
  for (SolidBox& b : boxes) {
    for (int a = 0; a < 3; ++a) {
      int lo = random() % (size - 1);
      b.lo[a] = lo * unit;
      b.hi[a] = (lo + 1 + random() % (size - 1 - lo)) * unit;
    }
  }
  return boxes;
}

/// The six walls, one thick, around the box [lo, hi] of at least 3 cells a side, one of them
/// shortened by a cell at one end when `opening`, which may open the cavity or not.
std::vector<SolidBox> shell(const int lo[3], const int hi[3], bool opening) {
  std::vector<SolidBox> walls;
  for (int a = 0; a < 3; ++a) {
    for (int side = 0; side < 2; ++side) {
      SolidBox w;
      for (int k = 0; k < 3; ++k) w.lo[k] = lo[k], w.hi[k] = hi[k];
      w.lo[a] = side ? hi[a] - 1 : lo[a];
      w.hi[a] = side ? hi[a] : lo[a] + 1;
      walls.push_back(w);
    }
  }
  if (opening) walls[1].hi[(0 + 1) % 3] -= 1;
  return walls;
}

/// The cover of the grid of every coordinate, cell by cell: the plain definition that
/// union_boundary must reproduce rectangle for rectangle.
std::vector<SurfaceRect> grid_boundary(const std::vector<SolidBox>& boxes) {
  std::vector<Femtometres> cut[3];
  for (int a = 0; a < 3; ++a) {
    for (const SolidBox& b : boxes) cut[a].insert(cut[a].end(), {b.lo[a], b.hi[a]});
    std::sort(cut[a].begin(), cut[a].end());
    cut[a].erase(std::unique(cut[a].begin(), cut[a].end()), cut[a].end());
  }
  auto solid = [&](const int64_t cell[3]) {
    for (int a = 0; a < 3; ++a) {
      if (cell[a] < 0 || cell[a] + 1 >= static_cast<int64_t>(cut[a].size())) return false;
    }
    for (const SolidBox& b : boxes) {
      bool in = true;
      for (int a = 0; a < 3; ++a)
        in = in && b.lo[a] <= cut[a][cell[a]] && cut[a][cell[a] + 1] <= b.hi[a];
      if (in) return true;
    }
    return false;
  };
  std::vector<SurfaceRect> rects;
  for (int axis = 0; axis < 3; ++axis) {
    const int u = (axis + 1) % 3, v = (axis + 2) % 3;
    const int64_t nu = cut[u].size() - 1, nv = cut[v].size() - 1;
    for (int64_t p = 0; p < static_cast<int64_t>(cut[axis].size()); ++p) {
      for (int outward : {1, -1}) {
        std::vector<char> mask(nu * nv);
        for (int64_t j = 0; j < nv; ++j)
          for (int64_t i = 0; i < nu; ++i) {
            int64_t in[3], out[3];
            in[u] = out[u] = i, in[v] = out[v] = j;
            in[axis] = outward == 1 ? p - 1 : p, out[axis] = outward == 1 ? p : p - 1;
            mask[i + nu * j] = solid(in) && !solid(out);
          }
        for (int64_t j0 = 0; j0 < nv; ++j0)
          for (int64_t i0 = 0; i0 < nu; ++i0) {
            if (!mask[i0 + nu * j0]) continue;
            int64_t i1 = i0 + 1, j1 = j0 + 1;
            while (i1 < nu && mask[i1 + nu * j0]) ++i1;
            for (bool whole = true; j1 < nv && whole; j1 += whole) {
              for (int64_t i = i0; i < i1; ++i) whole = whole && mask[i + nu * j1];
            }
            for (int64_t j = j0; j < j1; ++j)
              for (int64_t i = i0; i < i1; ++i) mask[i + nu * j] = 0;
            SurfaceRect r;
            r.axis = axis, r.outward = outward, r.level = cut[axis][p];
            r.lo[0] = cut[u][i0], r.hi[0] = cut[u][i1], r.lo[1] = cut[v][j0], r.hi[1] = cut[v][j1];
            rects.push_back(r);
          }
      }
    }
  }
  return rects;
}

using Rect = std::tuple<int, int, Femtometres, Femtometres, Femtometres, Femtometres, Femtometres>;

std::vector<Rect> as_tuples(const std::vector<SurfaceRect>& rects) {
  std::vector<Rect> out;
  for (const SurfaceRect& r : rects)
    out.emplace_back(r.axis, r.outward, r.level, r.lo[0], r.hi[0], r.lo[1], r.hi[1]);
  return out;
}

/// Voxels of a size^3 grid: 1 solid, 2 outside (reached from the border), 0 cavity.
std::vector<int> voxels(const std::vector<SolidBox>& boxes, int size) {
  std::vector<int> cell(size * size * size, 0);
  for (const SolidBox& b : boxes)
    for (int z = b.lo[2]; z < b.hi[2]; ++z)
      for (int y = b.lo[1]; y < b.hi[1]; ++y)
        for (int x = b.lo[0]; x < b.hi[0]; ++x) cell[x + size * (y + size * z)] = 1;
  std::vector<int> stack;
  for (int k = 0; k < size * size * size; ++k) {
    const int p[3] = {k % size, k / size % size, k / size / size};
    bool border = false;
    for (int a = 0; a < 3; ++a) border = border || p[a] == 0 || p[a] == size - 1;
    if (border && cell[k] == 0) cell[k] = 2, stack.push_back(k);
  }
  const int step[3] = {1, size, size * size};
  while (!stack.empty()) {
    const int k = stack.back();
    stack.pop_back();
    for (int a = 0; a < 3; ++a)
      for (int s : {-1, 1}) {
        const int c = (k / step[a]) % size + s;
        if (c < 0 || c >= size || cell[k + s * step[a]] != 0) continue;
        cell[k + s * step[a]] = 2;
        stack.push_back(k + s * step[a]);
      }
  }
  return cell;
}

}  // namespace

TEST(UnionBoundary, IsTheCoverOfTheGridOfEveryCoordinate) {
  std::mt19937 random(11);
  for (int trial = 0; trial < 400; ++trial) {
    // Few boxes on a coarse grid touch and nest; many on a fine one make long planes.
    const int count = 1 + trial % 23, size = trial % 2 ? 5 : 12;
    const std::vector<SolidBox> boxes = random_boxes(random, count, size, 1000000007);
    ASSERT_EQ(as_tuples(grid_boundary(boxes)), as_tuples(union_boundary(boxes))) << trial;
  }
}

TEST(UnionSurface, IsTheBoundaryOfWhatIsReachedFromOutside) {
  // Voxels are unit cells on a grid of 8, boxes inside it so that its border is outside.
  std::mt19937 random(5);
  int with_cavities = 0;
  for (int trial = 0; trial < 600; ++trial) {
    std::vector<SolidBox> boxes = random_boxes(random, 1 + trial % 6, 7, 1);
    if (trial % 3 != 0) {
      int lo[3], hi[3];
      for (int a = 0; a < 3; ++a) lo[a] = random() % 3, hi[a] = lo[a] + 3 + random() % (5 - lo[a]);
      const std::vector<SolidBox> walls = shell(lo, hi, trial % 3 == 2);
      boxes.insert(boxes.end(), walls.begin(), walls.end());
    }
    for (SolidBox& b : boxes)
      for (int a = 0; a < 3; ++a) b.lo[a] += 1, b.hi[a] += 1;
    const std::vector<int> cell = voxels(boxes, 9);
    std::set<std::tuple<int, int, int64_t, int64_t, int64_t>> expected, covered;
    for (int k = 0; k < 9 * 9 * 9; ++k) {
      if (cell[k] != 1) continue;
      const int p[3] = {k % 9, k / 9 % 9, k / 81};
      const int step[3] = {1, 9, 81};
      for (int a = 0; a < 3; ++a)
        for (int s : {1, -1})
          if (cell[k + s * step[a]] == 2)
            expected.emplace(a, s, p[a] + (s > 0), p[(a + 1) % 3], p[(a + 2) % 3]);
    }
    for (const SurfaceRect& r : union_surface(boxes))
      for (int64_t i = r.lo[0]; i < r.hi[0]; ++i)
        for (int64_t j = r.lo[1]; j < r.hi[1]; ++j)
          ASSERT_TRUE(covered.emplace(r.axis, r.outward, r.level, i, j).second) << trial;
    ASSERT_EQ(expected, covered) << trial;

    int64_t cavity_voxels = std::count(cell.begin(), cell.end(), 0), tiled = 0;
    for (const auto& cavity : union_cavities(boxes))
      for (const SolidBox& t : cavity) {
        tiled += (t.hi[0] - t.lo[0]) * (t.hi[1] - t.lo[1]) * (t.hi[2] - t.lo[2]);
        for (int a = 0; a < 3; ++a) ASSERT_TRUE(t.lo[a] >= 1 && t.hi[a] <= 8);
        ASSERT_EQ(0, cell[t.lo[0] + 9 * (t.lo[1] + 9 * t.lo[2])]) << trial;
      }
    ASSERT_EQ(cavity_voxels, tiled) << trial;
    with_cavities += cavity_voxels > 0;
  }
  EXPECT_GT(with_cavities, 100);  // the trials do meet cavities
}

TEST(UnionSurface, AHollowCubeIsItsSixOuterFacesAndCavitiesMeetingAtAnEdgeAreTwo) {
  // Six slabs around the unit cell (1..2)^3 of a 3^3 cube.
  const std::vector<SolidBox> shell = {{{0, 0, 0}, {3, 3, 1}}, {{0, 0, 2}, {3, 3, 3}},
                                       {{0, 0, 1}, {1, 3, 2}}, {{2, 0, 1}, {3, 3, 2}},
                                       {{1, 0, 1}, {2, 1, 2}}, {{1, 2, 1}, {2, 3, 2}}};
  EXPECT_EQ(6u, union_surface(shell).size());
  EXPECT_EQ(12u, union_boundary(shell).size());  // and six walls of the cavity
  // Two cells of a 4 x 4 x 3 block left empty, diagonal to each other: two cavities.
  std::vector<SolidBox> block = {{{0, 0, 0}, {4, 4, 1}}, {{0, 0, 2}, {4, 4, 3}},
                                 {{0, 0, 1}, {1, 4, 2}}, {{3, 0, 1}, {4, 4, 2}},
                                 {{1, 0, 1}, {3, 1, 2}}, {{1, 3, 1}, {3, 4, 2}},
                                 {{1, 1, 1}, {2, 2, 2}}, {{2, 2, 1}, {3, 3, 2}}};
  EXPECT_EQ(2u, union_cavities(block).size());
}

TEST(BoxIndex, FindsExactlyTheBoxesThatMeet) {
  std::mt19937 random(3);
  for (int trial = 0; trial < 50; ++trial) {
    const std::vector<SolidBox> boxes = random_boxes(random, 1 + trial * 7, 30, 3);
    const BoxIndex index(boxes);
    for (const SolidBox& query : random_boxes(random, 20, 30, 3)) {
      std::vector<uint32_t> found, expected;
      index.for_each_meeting(query, [&](uint32_t k) { found.push_back(k); });
      for (uint32_t k = 0; k < boxes.size(); ++k)
        if (boxes_meet(boxes[k], query)) expected.push_back(k);
      std::sort(found.begin(), found.end());
      ASSERT_EQ(expected, found);
    }
  }
}
