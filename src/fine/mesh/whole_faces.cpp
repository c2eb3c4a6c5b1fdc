#include "fine/mesh/whole_faces.h"

#include <algorithm>
#include <tuple>

#include "fine/mesh/feature_scale.h"

namespace {

/// What strips of one whole face share: conductor, plane, and the span across the cut extent.
auto strip_key(const AxisRect& r, uint32_t owner, int32_t k) {
  return std::make_tuple(owner, r.axis, r.plane, k, r.lo[1 - k], r.hi[1 - k]);
}

}  // namespace

WholeFaces whole_faces(const std::vector<AxisRect>& faces, const std::vector<uint32_t>& owner) {
  WholeFaces out;
  out.whole_of.assign(faces.size(), 0);
  // The stack cuts along z: the second extent of an x-normal face, the first of a y-normal one.
  auto cut_extent = [&](size_t f) { return faces[f].axis == 0 ? 1 : 0; };
  std::vector<uint32_t> order;
  for (uint32_t f = 0; f < faces.size(); ++f) {
    if (faces[f].axis != 2 && owner[f] != kNoConductor) order.push_back(f);
  }
  std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    const int32_t ka = cut_extent(a), kb = cut_extent(b);
    return std::make_tuple(strip_key(faces[a], owner[a], ka), faces[a].lo[ka], a) <
           std::make_tuple(strip_key(faces[b], owner[b], kb), faces[b].lo[kb], b);
  });
  std::vector<bool> done(faces.size(), false);
  for (size_t i = 0; i < order.size();) {
    const uint32_t first = order[i];
    const int32_t k = cut_extent(first);
    AxisRect whole = faces[first];
    size_t j = i + 1;
    for (; j < order.size(); ++j) {
      const uint32_t g = order[j];
      if (strip_key(faces[g], owner[g], k) != strip_key(whole, owner[first], k)) break;
      if (faces[g].lo[k] != whole.hi[k]) break;
      whole.hi[k] = faces[g].hi[k];
    }
    const uint32_t index = static_cast<uint32_t>(out.rect.size());
    out.rect.push_back(whole);
    out.owner.push_back(owner[first]);
    for (size_t s = i; s < j; ++s) {
      out.whole_of[order[s]] = index;
      done[order[s]] = true;
    }
    i = j;
  }
  for (uint32_t f = 0; f < faces.size(); ++f) {
    if (done[f]) continue;
    out.whole_of[f] = static_cast<uint32_t>(out.rect.size());
    out.rect.push_back(faces[f]);
    out.owner.push_back(owner[f]);
  }
  return out;
}

std::vector<double> strip_cuts(const std::vector<double>& whole, double lo, double hi) {
  std::vector<double> cuts{lo};
  const size_t first = std::upper_bound(whole.begin(), whole.end(), lo) - whole.begin();
  const size_t last = std::lower_bound(whole.begin(), whole.end(), hi) - whole.begin();
  for (size_t i = first; i < last; ++i) {
    const double c = whole[i];
    // Beside the strip's ends, a third of the whole's segment that holds the end.
    if (i == first && c - lo < (c - whole[i - 1]) / 3.0) continue;
    if (i + 1 == last && hi - c < (whole[i + 1] - c) / 3.0) continue;
    cuts.push_back(c);
  }
  cuts.push_back(hi);
  return cuts;
}
