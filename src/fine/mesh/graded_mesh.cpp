#include "fine/mesh/graded_mesh.h"

#include <algorithm>
#include <cmath>

namespace {

/// The cuts of a middle part [0, middle] (offsets) that grow from both ends: the first segment
/// 3 w / m, each next (1 + 1/m) times the last, none longer than 3 W / m.
std::vector<double> growing_middle(double middle, double width, double grown, int32_t m) {
  const double growth = 1.0 + 1.0 / m, largest = 3.0 * grown / m;
  std::vector<double> half;  // offsets of the cuts of the first half, from 0
  double size = 3.0 * width / m, at = size;
  while (at <= 0.5 * middle) {
    half.push_back(at);
    size = std::min(size * growth, largest);
    at += size;
  }
  // The gap between the two halves is below two segments: halved where it is too long.
  const double last = half.empty() ? 0.0 : half.back();
  if (middle - 2.0 * last > largest) half.push_back(0.5 * middle);
  // A mirrored cut that falls within half a first segment of the last one would leave a sliver
  // (none at all in floating point, where the two halves meet at the middle within rounding).
  std::vector<double> cuts = half;
  const double first = 3.0 * width / m;
  for (size_t i = half.size(); i-- > 0;) {
    if (middle - half[i] - cuts.back() > 0.5 * first) cuts.push_back(middle - half[i]);
  }
  return cuts;
}

/// The cuts of the whole faces of a stack, each computed once per level and extent: a side cut
/// into fifty strips by the layers would otherwise be graded fifty times over.
struct WholeCutsCache {
  std::vector<std::vector<double>> cuts;  // per whole face and extent (2 w + k); empty until asked
  std::vector<double> feature;            // per whole face and extent, the feature scale they used
};

/// The cuts along extent k of face f of a stack: those of its whole face, within the face.
std::vector<double> cuts_in_stack(const MiddleGrading& middle, size_t f, const AxisRect& face,
                                  int k, const std::vector<double>& feature, int32_t m,
                                  WholeCutsCache* cache) {
  const uint32_t w = middle.whole.whole_of[f];
  const AxisRect& whole = middle.whole.rect[w];
  const size_t slot = 2 * size_t{w} + k;
  std::vector<double>& cuts = cache->cuts[slot];
  // A strip's feature scale is normally its whole face's; where it is not, it has cuts of its own.
  if (cuts.empty() || cache->feature[slot] != feature[2 * f + k]) {
    cuts = graded_cuts(whole.lo[k], whole.hi[k], feature[2 * f + k], m, middle.scale[slot],
                       &middle.sources[slot]);
    cache->feature[slot] = feature[2 * f + k];
  }
  if (whole.lo[k] == face.lo[k] && whole.hi[k] == face.hi[k]) return cuts;
  return strip_cuts(cuts, face.lo[k], face.hi[k]);
}

}  // namespace

std::vector<double> whole_extent_cuts(double lo, double hi, int32_t m) {
  std::vector<double> cuts(m + 1);
  for (int32_t i = 0; i <= m; ++i) {
    const double s = static_cast<double>(std::min(i, m - i)) / m;  // from the nearer end
    const double from_end = 0.5 * (hi - lo) * (8.0 * s * s * s);
    cuts[i] = 2 * i <= m ? lo + from_end : hi - from_end;
  }
  cuts.front() = lo;
  cuts.back() = hi;
  return cuts;
}

std::vector<double> graded_cuts(double lo, double hi, double feature, int32_t m, double grown,
                                const std::vector<GradingSource>* sources) {
  const double length = hi - lo;
  // A few units in the last place must not decide it, as below: the same in another unit.
  if (feature >= kWholeExtent * length * (1.0 - 1e-9)) return whole_extent_cuts(lo, hi, m);
  const double width = std::min(feature, 0.5 * length);
  std::vector<double> layer(m + 1);
  for (int32_t i = 0; i <= m; ++i) {
    double s = static_cast<double>(i) / m;
    layer[i] = width * s * s * s;
  }
  std::vector<double> cuts;
  for (int32_t i = 0; i <= m; ++i) cuts.push_back(lo + layer[i]);
  // The ratio is a whole number for many drawn structures; a few units in the last place must
  // not add a segment, or the mesh would change with the unit of the drawing.
  double middle = length - 2.0 * width;
  double segments_per_level = std::ceil(middle / (3.0 * width) - 1e-9);
  int32_t top = m - 1;  // without a middle part, the two layers share their inner end
  grown = std::min(grown, 0.5 * length);
  if (grown > width && segments_per_level >= 1.0 && sources != nullptr && !sources->empty()) {
    for (double at : sized_middle_cuts(lo + width, hi - width, width, grown, *sources, m))
      cuts.push_back(at);
    top = m;
  } else if (grown > width && segments_per_level >= 1.0) {
    for (double at : growing_middle(middle, width, grown, m)) cuts.push_back(lo + width + at);
    top = m;
  } else if (segments_per_level >= 1.0) {
    int32_t n = static_cast<int32_t>(segments_per_level) * m;
    for (int32_t i = 1; i < n; ++i) cuts.push_back(lo + width + middle * i / n);
    top = m;
  }
  for (int32_t i = top; i >= 0; --i) cuts.push_back(hi - layer[i]);
  cuts.back() = hi;
  cuts.front() = lo;
  return cuts;
}

LevelMesh make_level_mesh(const FineStructure& structure, const std::vector<double>& feature,
                          int32_t m, const MiddleGrading* middle) {
  LevelMesh mesh;
  const size_t faces = structure.panels.size();
  mesh.cuts[0].resize(faces);
  mesh.cuts[1].resize(faces);
  size_t panels = 0;  // the cuts first, so that the panels are allocated once
  WholeCutsCache cache;
  if (middle != nullptr) {
    cache.cuts.resize(2 * middle->whole.rect.size());
    cache.feature.resize(2 * middle->whole.rect.size());
  }
  for (size_t f = 0; f < faces; ++f) {
    const AxisRect& face = structure.panels[f];
    for (int k = 0; k < 2; ++k)
      mesh.cuts[k][f] = middle != nullptr
                            ? cuts_in_stack(*middle, f, face, k, feature, m, &cache)
                            : graded_cuts(face.lo[k], face.hi[k], feature[2 * f + k], m);
    panels += (mesh.cuts[0][f].size() - 1) * (mesh.cuts[1][f].size() - 1);
  }
  mesh.panels.reserve(panels);
  mesh.face_first.reserve(faces + 1);
  for (size_t f = 0; f < faces; ++f) {
    const AxisRect& face = structure.panels[f];
    mesh.face_first.push_back(static_cast<uint32_t>(mesh.panels.size()));
    const std::vector<double>& c0 = mesh.cuts[0][f];
    const std::vector<double>& c1 = mesh.cuts[1][f];
    for (size_t i = 0; i + 1 < c0.size(); ++i) {
      for (size_t j = 0; j + 1 < c1.size(); ++j) {
        MeshPanel p;
        p.rect.axis = face.axis;
        p.rect.plane = face.plane;
        p.rect.lo[0] = c0[i];
        p.rect.hi[0] = c0[i + 1];
        p.rect.lo[1] = c1[j];
        p.rect.hi[1] = c1[j + 1];
        p.area = (c0[i + 1] - c0[i]) * (c1[j + 1] - c1[j]);
        p.conductor = structure.conductor_of_panel[f];
        mesh.panels.push_back(p);
      }
    }
  }
  mesh.face_first.push_back(static_cast<uint32_t>(mesh.panels.size()));
  return mesh;
}

namespace {

/// The segment of `cuts` that holds x.
size_t segment_of(const std::vector<double>& cuts, double x) {
  size_t k = std::upper_bound(cuts.begin(), cuts.end(), x) - cuts.begin();
  if (k == 0) return 0;
  return std::min(k - 1, cuts.size() - 2);
}

}  // namespace

void carry_charge_density(const LevelMesh& from, const LevelMesh& to, const double* charge,
                          int32_t lanes, double* out) {
  const size_t faces = to.face_first.size() - 1;
  for (size_t f = 0; f < faces; ++f) {
    const size_t from_columns = from.cuts[1][f].size() - 1;
    for (uint32_t p = to.face_first[f]; p < to.face_first[f + 1]; ++p) {
      const AxisRect& r = to.panels[p].rect;
      size_t i = segment_of(from.cuts[0][f], 0.5 * (r.lo[0] + r.hi[0]));
      size_t j = segment_of(from.cuts[1][f], 0.5 * (r.lo[1] + r.hi[1]));
      size_t q = from.face_first[f] + i * from_columns + j;
      double ratio = to.panels[p].area / from.panels[q].area;
      for (int32_t w = 0; w < lanes; ++w) out[p * lanes + w] = charge[q * lanes + w] * ratio;
    }
  }
}
