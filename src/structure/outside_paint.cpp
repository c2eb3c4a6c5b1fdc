#include <algorithm>
#include <map>
#include <utility>

#include "structure/exact_medium.h"

int32_t ExactMedium::layer_below(Femtometres z) const {
  return static_cast<int32_t>(std::lower_bound(boundaries.begin(), boundaries.end(), z) -
                              boundaries.begin());
}

int32_t ExactMedium::layer_above(Femtometres z) const {
  return static_cast<int32_t>(std::upper_bound(boundaries.begin(), boundaries.end(), z) -
                              boundaries.begin());
}

PaintRect box_section(const SolidBox& box, int32_t axis, int32_t channel, int32_t rank) {
  const int32_t u = (axis + 1) % 3, v = (axis + 2) % 3;
  return PaintRect{{box.lo[u], box.lo[v]}, {box.hi[u], box.hi[v]}, channel, rank};
}

void paint_layer_bands(const ExactMedium& medium, int32_t axis, const PaintRect& extent,
                       int32_t channel, std::vector<PaintRect>& paint) {
  const int32_t z = axis == 0 ? 1 : 0;  // which plane coordinate is the height
  const int32_t first = medium.layer_above(extent.lo[z]), last = medium.layer_below(extent.hi[z]);
  for (int32_t layer = first; layer <= last; ++layer) {
    PaintRect band = extent;
    band.channel = channel;
    band.rank = layer;
    if (layer > 0) band.lo[z] = std::max(band.lo[z], medium.boundaries[layer - 1]);
    if (layer < static_cast<int32_t>(medium.boundaries.size())) {
      band.hi[z] = std::min(band.hi[z], medium.boundaries[layer]);
    }
    paint.push_back(band);
  }
}

namespace {

/// The face as a flat box in space.
SolidBox face_box(const SurfaceRect& face) {
  SolidBox box;
  box.lo[face.axis] = box.hi[face.axis] = face.level;
  for (int32_t k = 0; k < 2; ++k) {
    box.lo[(face.axis + 1 + k) % 3] = face.lo[k];
    box.hi[(face.axis + 1 + k) % 3] = face.hi[k];
  }
  return box;
}

}  // namespace

void paint_outside(const ExactMedium& medium, const SurfaceRect& face,
                   std::vector<OutsidePiece>& pieces) {
  // Channels: 0 the face, 1 the dielectric blocks outside by file order, 2 conductors outside,
  // 3 the layers' bands across a face along z.
  const int32_t axis = face.axis, side = face.outward;
  const PaintRect region{{face.lo[0], face.lo[1]}, {face.hi[0], face.hi[1]}, 0, 0};
  std::vector<PaintRect> paint{region};
  const SolidBox flat = face_box(face);
  auto add = [&](const PaintRect& rect) {
    PaintRect clipped = rect;
    if (clip_paint(region, clipped)) paint.push_back(clipped);
  };
  medium.block_index.for_each_meeting(flat, [&](uint32_t k) {
    const SolidBox& block = medium.blocks[k];
    if (fills_side(block, axis, face.level, side)) add(box_section(block, axis, 1, k));
  });
  medium.conductor_index.for_each_meeting(flat, [&](uint32_t k) {
    const SolidBox& conductor = medium.conductors[k];
    if (fills_side(conductor, axis, face.level, side)) add(box_section(conductor, axis, 2, 0));
  });
  if (axis != 2) paint_layer_bands(medium, axis, region, 3, paint);
  const int32_t flat_layer =
      side > 0 ? medium.layer_above(face.level) : medium.layer_below(face.level);

  // Pieces merge where the layer and the permittivity outside agree.
  std::map<std::pair<int32_t, double>, int32_t> label_of_medium;
  std::vector<std::pair<int32_t, double>> medium_of_label;
  const PaintLabel label = [&](const PaintShown& shown) -> int32_t {
    if (shown.rank[0] < 0 || shown.rank[2] >= 0) return -1;
    const int32_t layer = axis == 2 ? flat_layer : shown.rank[3];
    const double real = shown.rank[1] >= 0 ? medium.block_permittivity[shown.rank[1]]
                                           : medium.layer_permittivity[layer];
    auto known = label_of_medium.emplace(std::make_pair(layer, real),
                                         static_cast<int32_t>(medium_of_label.size()));
    if (known.second) medium_of_label.emplace_back(layer, real);
    return known.first->second;
  };
  std::vector<LabelledRect> cover;
  cover_painted(paint, label, cover);
  for (const LabelledRect& r : cover) {
    OutsidePiece piece{face, medium_of_label[r.label].second,
                       medium.layer_permittivity[medium_of_label[r.label].first]};
    for (int32_t k = 0; k < 2; ++k) {
      piece.rect.lo[k] = r.lo[k];
      piece.rect.hi[k] = r.hi[k];
    }
    pieces.push_back(piece);
  }
}
