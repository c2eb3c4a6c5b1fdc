#include "structure/union_surface.h"

#include <algorithm>

namespace {

/// The union on a grid of cells: the distinct coordinates of the boxes along each axis cut
/// space into cells, each wholly inside the union or wholly outside.
struct CellGrid {
  std::vector<Femtometres> cuts[3];  // distinct coordinates along x, y, z, ascending
  int64_t count[3] = {0, 0, 0};      // cells along each axis, cuts[a].size() - 1
  std::vector<bool> solid;           // by cell (i, j, k) at i + count[0] * (j + count[1] * k)

  int64_t cell_at(const int64_t index[3]) const {
    return index[0] + count[0] * (index[1] + count[1] * index[2]);
  }

  int64_t cut_index(int32_t axis, Femtometres value) const {
    return std::lower_bound(cuts[axis].begin(), cuts[axis].end(), value) - cuts[axis].begin();
  }

  /// Whether the cell at `index` is solid; outside the grid, nothing is.
  bool is_solid(int64_t index[3]) const {
    for (int32_t a = 0; a < 3; ++a) {
      if (index[a] < 0 || index[a] >= count[a]) return false;
    }
    return solid[cell_at(index)];
  }
};

CellGrid grid_of(const std::vector<SolidBox>& boxes) {
  CellGrid grid;
  for (int32_t a = 0; a < 3; ++a) {
    for (const SolidBox& box : boxes) {
      grid.cuts[a].push_back(box.lo[a]);
      grid.cuts[a].push_back(box.hi[a]);
    }
    std::sort(grid.cuts[a].begin(), grid.cuts[a].end());
    grid.cuts[a].erase(std::unique(grid.cuts[a].begin(), grid.cuts[a].end()), grid.cuts[a].end());
    grid.count[a] = static_cast<int64_t>(grid.cuts[a].size()) - 1;
  }
  grid.solid.assign(grid.count[0] * grid.count[1] * grid.count[2], false);
  for (const SolidBox& box : boxes) {
    int64_t from[3], to[3], index[3];
    for (int32_t a = 0; a < 3; ++a) {
      from[a] = grid.cut_index(a, box.lo[a]);
      to[a] = grid.cut_index(a, box.hi[a]);
    }
    for (index[2] = from[2]; index[2] < to[2]; ++index[2])
      for (index[1] = from[1]; index[1] < to[1]; ++index[1])
        for (index[0] = from[0]; index[0] < to[0]; ++index[0])
          grid.solid[grid.cell_at(index)] = true;
  }
  return grid;
}

/// Covers the set cells of `mask` (nu x nv, by u + nu * v) with rectangles of cells that do not
/// overlap: from each uncovered cell in order, as far as possible along u, then as many rows
/// along v as are wholly set and uncovered. Emits each as cell ranges [u0, u1) x [v0, v1).
template <typename Emit>
void cover_greedily(std::vector<uint8_t>& mask, int64_t nu, int64_t nv, Emit emit) {
  for (int64_t v0 = 0; v0 < nv; ++v0) {
    for (int64_t u0 = 0; u0 < nu; ++u0) {
      if (!mask[u0 + nu * v0]) continue;
      int64_t u1 = u0 + 1;
      while (u1 < nu && mask[u1 + nu * v0]) ++u1;
      int64_t v1 = v0 + 1;
      for (; v1 < nv; ++v1) {
        bool whole_row = true;
        for (int64_t u = u0; u < u1 && whole_row; ++u) whole_row = mask[u + nu * v1];
        if (!whole_row) break;
      }
      for (int64_t v = v0; v < v1; ++v)
        std::fill(mask.begin() + u0 + nu * v, mask.begin() + u1 + nu * v, 0);
      emit(u0, u1, v0, v1);
    }
  }
}

}  // namespace

std::vector<SurfaceRect> union_surface(const std::vector<SolidBox>& boxes) {
  std::vector<SurfaceRect> rects;
  if (boxes.empty()) return rects;
  CellGrid grid = grid_of(boxes);
  for (int32_t axis = 0; axis < 3; ++axis) {
    int32_t u_axis = (axis + 1) % 3, v_axis = (axis + 2) % 3;
    int64_t nu = grid.count[u_axis], nv = grid.count[v_axis];
    std::vector<uint8_t> mask(nu * nv);
    // The plane at cuts[axis][p] between the cells p - 1 and p along the axis: a face looks
    // outward where exactly one of the two is solid, towards the empty one.
    for (int64_t p = 0; p <= grid.count[axis]; ++p) {
      for (int32_t outward : {1, -1}) {
        int64_t inside[3], outside[3];
        for (int64_t v = 0; v < nv; ++v) {
          for (int64_t u = 0; u < nu; ++u) {
            inside[u_axis] = outside[u_axis] = u;
            inside[v_axis] = outside[v_axis] = v;
            inside[axis] = outward == 1 ? p - 1 : p;
            outside[axis] = outward == 1 ? p : p - 1;
            mask[u + nu * v] = grid.is_solid(inside) && !grid.is_solid(outside);
          }
        }
        cover_greedily(mask, nu, nv, [&](int64_t u0, int64_t u1, int64_t v0, int64_t v1) {
          SurfaceRect rect;
          rect.axis = axis;
          rect.outward = outward;
          rect.level = grid.cuts[axis][p];
          rect.lo[0] = grid.cuts[u_axis][u0];
          rect.hi[0] = grid.cuts[u_axis][u1];
          rect.lo[1] = grid.cuts[v_axis][v0];
          rect.hi[1] = grid.cuts[v_axis][v1];
          rects.push_back(rect);
        });
      }
    }
  }
  return rects;
}

void surface_corners(const SurfaceRect& rect, Femtometres corners[4][3]) {
  // Around the rectangle from (lo, lo): u first then v turns counterclockwise about +axis, since
  // (axis, u, v) is a right-handed cycle; a face looking along -axis goes v first.
  const int32_t u_first[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  const int32_t v_first[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
  const int32_t(*order)[2] = rect.outward == 1 ? u_first : v_first;
  for (int32_t k = 0; k < 4; ++k) {
    corners[k][rect.axis] = rect.level;
    corners[k][(rect.axis + 1) % 3] = order[k][0] ? rect.hi[0] : rect.lo[0];
    corners[k][(rect.axis + 2) % 3] = order[k][1] ? rect.hi[1] : rect.lo[1];
  }
}
