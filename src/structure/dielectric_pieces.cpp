#include <algorithm>
#include <array>
#include <cmath>
#include <map>

#include "structure/exact_medium.h"
#include "structure/plane_groups.h"

namespace {

/// A rectangle of a plane where the medium may change: a block's face, or a block's section
/// by a layer boundary inside it.
struct PlaneRegion {
  int32_t axis;       // the plane's normal
  Femtometres level;  // its coordinate along the axis
  PaintRect rect;     // the rectangle in the plane's (u, v)
};

/// Whether a piece carries unknowns: c = (eA + eB) (e1 / eA - e2 / eB) / (e1 + e2) is not 0,
/// that is e1 eB differs from e2 eA by more than rounding.
bool carries_charge(double e1, double e2, double ea, double eb) {
  return std::fabs(e1 * eb - e2 * ea) > 1e-12 * (e1 * eb + e2 * ea);
}

std::vector<PlaneRegion> plane_regions(const ExactMedium& medium) {
  std::vector<PlaneRegion> regions;
  for (const SolidBox& block : medium.blocks) {
    for (int32_t axis = 0; axis < 3; ++axis) {
      const PaintRect section = box_section(block, axis, 0, 0);
      regions.push_back(PlaneRegion{axis, block.lo[axis], section});
      regions.push_back(PlaneRegion{axis, block.hi[axis], section});
    }
    const int32_t first = medium.layer_above(block.lo[2]), last = medium.layer_below(block.hi[2]);
    for (int32_t layer = first; layer < last; ++layer) {
      regions.push_back(PlaneRegion{2, medium.boundaries[layer], box_section(block, 2, 0, 0)});
    }
  }
  std::sort(regions.begin(), regions.end(), [](const PlaneRegion& a, const PlaneRegion& b) {
    return a.axis < b.axis || (a.axis == b.axis && a.level < b.level);
  });
  return regions;
}

/// The paint of one plane: its regions (channel 0), the blocks just below (1) and above (2) by
/// file order, the conductors on either side (3), the layers' bands (4, across x or y).
std::vector<PaintRect> plane_paint(const ExactMedium& medium, const PlaneRegion* first,
                                   const PlaneRegion* last) {
  const int32_t axis = first->axis;
  const Femtometres level = first->level;
  std::vector<PaintRect> paint;
  std::vector<std::array<int32_t, 2>> found;  // (channel, box) of the blocks and conductors
  PaintRect extent = first->rect;
  for (const PlaneRegion* r = first; r != last; ++r) {
    paint.push_back(r->rect);
    SolidBox flat;
    flat.lo[axis] = flat.hi[axis] = level;
    for (int32_t k = 0; k < 2; ++k) {
      flat.lo[(axis + 1 + k) % 3] = r->rect.lo[k];
      flat.hi[(axis + 1 + k) % 3] = r->rect.hi[k];
      extent.lo[k] = std::min(extent.lo[k], r->rect.lo[k]);
      extent.hi[k] = std::max(extent.hi[k], r->rect.hi[k]);
    }
    medium.block_index.for_each_meeting(flat, [&](uint32_t b) {
      if (fills_side(medium.blocks[b], axis, level, -1)) found.push_back({1, int32_t(b)});
      if (fills_side(medium.blocks[b], axis, level, 1)) found.push_back({2, int32_t(b)});
    });
    medium.conductor_index.for_each_meeting(flat, [&](uint32_t c) {
      const SolidBox& box = medium.conductors[c];
      if (fills_side(box, axis, level, -1) || fills_side(box, axis, level, 1))
        found.push_back({3, int32_t(c)});
    });
  }
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  for (const std::array<int32_t, 2>& f : found) {
    const SolidBox& box = f[0] == 3 ? medium.conductors[f[1]] : medium.blocks[f[1]];
    paint.push_back(box_section(box, axis, f[0], f[0] == 3 ? 0 : f[1]));
  }
  if (axis != 2) paint_layer_bands(medium, axis, extent, 4, paint);
  return paint;
}

}  // namespace

void dielectric_pieces(const ExactMedium& medium, std::vector<ExactPiece>& pieces) {
  const std::vector<PlaneRegion> regions = plane_regions(medium);
  const std::vector<double>& layer = medium.layer_permittivity;
  for (size_t first = 0; first < regions.size();) {
    size_t last = first + 1;
    while (last < regions.size() && regions[last].axis == regions[first].axis &&
           regions[last].level == regions[first].level)
      ++last;
    const int32_t axis = regions[first].axis;
    const Femtometres level = regions[first].level;
    std::map<std::array<double, 5>, int32_t> label_of_sides;
    std::vector<ExactPiece> of_label;
    const PaintLabel label = [&](const PaintShown& shown) -> int32_t {
      if (shown.rank[0] < 0 || shown.rank[3] >= 0) return -1;
      const int32_t below = axis == 2 ? medium.layer_below(level) : shown.rank[4];
      const int32_t above = axis == 2 ? medium.layer_above(level) : shown.rank[4];
      ExactPiece piece;
      piece.real_below =
          shown.rank[1] >= 0 ? medium.block_permittivity[shown.rank[1]] : layer[below];
      piece.real_above =
          shown.rank[2] >= 0 ? medium.block_permittivity[shown.rank[2]] : layer[above];
      piece.background_below = layer[below];
      piece.background_above = layer[above];
      if (!carries_charge(piece.real_below, piece.real_above, piece.background_below,
                          piece.background_above))
        return -1;
      const std::array<double, 5> sides = {piece.real_below, piece.real_above,
                                           piece.background_below, piece.background_above,
                                           static_cast<double>(below)};
      auto known = label_of_sides.emplace(sides, static_cast<int32_t>(of_label.size()));
      if (known.second) of_label.push_back(piece);
      return known.first->second;
    };
    std::vector<LabelledRect> cover;
    for (const std::vector<PaintRect>& group :
         plane_groups(plane_paint(medium, &regions[first], &regions[last]), 0)) {
      cover_painted(group, label, cover);
    }
    std::sort(cover.begin(), cover.end(), [](const LabelledRect& a, const LabelledRect& b) {
      return a.lo[1] < b.lo[1] || (a.lo[1] == b.lo[1] && a.lo[0] < b.lo[0]);
    });
    for (const LabelledRect& r : cover) {
      ExactPiece piece = of_label[r.label];
      piece.rect.axis = axis;
      piece.rect.outward = 1;
      piece.rect.level = level;
      for (int32_t k = 0; k < 2; ++k) {
        piece.rect.lo[k] = r.lo[k];
        piece.rect.hi[k] = r.hi[k];
      }
      pieces.push_back(piece);
    }
    first = last;
  }
}
