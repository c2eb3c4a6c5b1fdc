#include "structure/union_surface.h"

#include <algorithm>

#include "structure/box_index.h"
#include "structure/painted_cover.h"
#include "structure/plane_groups.h"
#include "structure/union_cavities.h"

namespace {

/// A face of one box: where it lies and which way it looks.
struct BoxFace {
  int32_t axis;       // 0, 1 or 2: the normal is x, y or z
  Femtometres level;  // coordinate of its plane along the axis
  int32_t outward;    // +1: the box lies below the plane; -1: above it
  uint32_t box;       // the box it belongs to
};

/// The order of the cover: by axis, then level, outward +1 before -1.
bool before(const BoxFace& a, const BoxFace& b) {
  if (a.axis != b.axis) return a.axis < b.axis;
  if (a.level != b.level) return a.level < b.level;
  if (a.outward != b.outward) return a.outward > b.outward;
  return a.box < b.box;
}

bool same_plane(const BoxFace& a, const BoxFace& b) {
  return a.axis == b.axis && a.level == b.level && a.outward == b.outward;
}

/// Whether box `c` fills the space just beyond the plane at `level` along `axis`, on the side
/// that `outward` points to.
bool fills_beyond(const SolidBox& c, int32_t axis, Femtometres level, int32_t outward) {
  return outward > 0 ? c.lo[axis] <= level && level < c.hi[axis]
                     : c.lo[axis] < level && level <= c.hi[axis];
}

/// The box's section across `axis` as a rectangle of the plane's (u, v) coordinates.
PaintRect section(const SolidBox& box, int32_t axis, int32_t channel) {
  const int32_t u = (axis + 1) % 3, v = (axis + 2) % 3;
  return PaintRect{{box.lo[u], box.lo[v]}, {box.hi[u], box.hi[v]}, channel, 0};
}

/// Appends the surface that the faces [first, last) of one plane leave exposed: their union
/// (channel 0) less the sections of the boxes that fill the space beyond it (channel 1).
void cover_plane(const std::vector<SolidBox>& boxes, const BoxIndex& index, const BoxFace* first,
                 const BoxFace* last, std::vector<SurfaceRect>& out) {
  const int32_t axis = first->axis, outward = first->outward;
  const Femtometres level = first->level;
  std::vector<PaintRect> paint;
  std::vector<uint32_t> beyond, of_face;
  for (const BoxFace* f = first; f != last; ++f) {
    const PaintRect own = section(boxes[f->box], axis, 0);
    SolidBox face = boxes[f->box];
    face.lo[axis] = face.hi[axis] = level;
    of_face.clear();
    bool hidden = false;  // one box beyond covers all of the face, which then adds nothing
    index.for_each_meeting(face, [&](uint32_t c) {
      if (!fills_beyond(boxes[c], axis, level, outward)) return;
      of_face.push_back(c);
      const PaintRect other = section(boxes[c], axis, 1);
      hidden = hidden || (other.lo[0] <= own.lo[0] && own.hi[0] <= other.hi[0] &&
                          other.lo[1] <= own.lo[1] && own.hi[1] <= other.hi[1]);
    });
    if (hidden) continue;
    paint.push_back(own);
    beyond.insert(beyond.end(), of_face.begin(), of_face.end());
  }
  if (paint.empty()) return;
  std::sort(beyond.begin(), beyond.end());
  beyond.erase(std::unique(beyond.begin(), beyond.end()), beyond.end());
  for (uint32_t c : beyond) paint.push_back(section(boxes[c], axis, 1));

  std::vector<LabelledRect> cover;
  if (paint.size() == 1) {
    cover.push_back(
        LabelledRect{{paint[0].lo[0], paint[0].lo[1]}, {paint[0].hi[0], paint[0].hi[1]}, 0});
  } else {
    const PaintLabel exposed = [](const PaintShown& shown) {
      return shown.rank[0] >= 0 && shown.rank[1] < 0 ? 0 : -1;
    };
    for (const std::vector<PaintRect>& group : plane_groups(paint, 0)) {
      cover_painted(group, exposed, cover);
    }
    std::sort(cover.begin(), cover.end(), [](const LabelledRect& a, const LabelledRect& b) {
      return a.lo[1] < b.lo[1] || (a.lo[1] == b.lo[1] && a.lo[0] < b.lo[0]);
    });
  }
  for (const LabelledRect& r : cover) {
    SurfaceRect rect;
    rect.axis = axis;
    rect.outward = outward;
    rect.level = level;
    for (int32_t k = 0; k < 2; ++k) {
      rect.lo[k] = r.lo[k];
      rect.hi[k] = r.hi[k];
    }
    out.push_back(rect);
  }
}

}  // namespace

std::vector<SurfaceRect> union_boundary(const std::vector<SolidBox>& boxes) {
  std::vector<BoxFace> faces;
  faces.reserve(6 * boxes.size());
  for (uint32_t k = 0; k < boxes.size(); ++k) {
    for (int32_t axis = 0; axis < 3; ++axis) {
      faces.push_back(BoxFace{axis, boxes[k].hi[axis], 1, k});
      faces.push_back(BoxFace{axis, boxes[k].lo[axis], -1, k});
    }
  }
  std::sort(faces.begin(), faces.end(), before);
  const BoxIndex index(boxes);
  std::vector<SurfaceRect> rects;
  for (size_t first = 0; first < faces.size();) {
    size_t last = first + 1;
    while (last < faces.size() && same_plane(faces[first], faces[last])) ++last;
    cover_plane(boxes, index, faces.data() + first, faces.data() + last, rects);
    first = last;
  }
  return rects;
}

std::vector<SurfaceRect> union_surface(const std::vector<SolidBox>& boxes) {
  const std::vector<std::vector<SolidBox>> cavities = union_cavities(boxes);
  if (cavities.empty()) return union_boundary(boxes);
  std::vector<SolidBox> filled = boxes;
  for (const std::vector<SolidBox>& cavity : cavities) {
    filled.insert(filled.end(), cavity.begin(), cavity.end());
  }
  return union_boundary(filled);
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
