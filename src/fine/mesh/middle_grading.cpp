#include "fine/mesh/middle_grading.h"

#include <algorithm>

#include "fine/mesh/face_hierarchy.h"
#include "fine/mesh/feature_scale.h"

MiddleGrading middle_grading(const std::vector<AxisRect>& all_faces,
                             const std::vector<uint32_t>& all_owners) {
  MiddleGrading grading;
  grading.whole = whole_faces(all_faces, all_owners);
  const std::vector<AxisRect>& faces = grading.whole.rect;
  const std::vector<uint32_t>& owner = grading.whole.owner;
  grading.scale = middle_scales(faces, owner);
  grading.sources.resize(2 * faces.size());
  std::vector<SpaceBox> boxes(faces.size());
  for (size_t f = 0; f < faces.size(); ++f) boxes[f] = space_box(faces[f]);
  const FaceHierarchy hierarchy(boxes);
  for (size_t f = 0; f < faces.size(); ++f) {
    const AxisRect& r = faces[f];
    const double reach = std::max(grading.scale[2 * f], grading.scale[2 * f + 1]);
    // Never accepting a face keeps the bound at `reach`: every face nearer is visited.
    hierarchy.nearest_gap(boxes[f], reach, [&](uint32_t g, double gap) {
      if (!counts_as_feature(r, owner[f], faces[g], owner[g], gap, kOwnDetail)) return false;
      for (int32_t k = 0; k < 2; ++k) {
        if (gap >= grading.scale[2 * f + k]) continue;
        const int32_t axis = (r.axis + 1 + k) % 3;  // the space axis along extent k
        for (double end : {boxes[g].lo[axis], boxes[g].hi[axis]}) {
          if (end > r.lo[k] && end < r.hi[k])
            grading.sources[2 * f + k].push_back(GradingSource{end, gap});
        }
      }
      return false;
    });
    for (int32_t k = 0; k < 2; ++k) {
      std::vector<GradingSource>& list = grading.sources[2 * f + k];
      std::sort(list.begin(), list.end(), [](const GradingSource& a, const GradingSource& b) {
        return a.at < b.at || (a.at == b.at && a.gap < b.gap);
      });
      // At one place, the nearest face alone sizes the segments.
      list.erase(
          std::unique(list.begin(), list.end(),
                      [](const GradingSource& a, const GradingSource& b) { return a.at == b.at; }),
          list.end());
    }
  }
  return grading;
}

std::vector<double> whole_feature_scales(const MiddleGrading& grading) {
  const std::vector<double> whole = feature_scales(grading.whole.rect, grading.whole.owner);
  std::vector<double> scale(2 * grading.whole.whole_of.size());
  for (size_t f = 0; f < grading.whole.whole_of.size(); ++f) {
    scale[2 * f] = whole[2 * grading.whole.whole_of[f]];
    scale[2 * f + 1] = whole[2 * grading.whole.whole_of[f] + 1];
  }
  return scale;
}
