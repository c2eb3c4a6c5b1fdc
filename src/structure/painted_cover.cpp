#include "structure/painted_cover.h"

#include <algorithm>
#include <set>
#include <utility>

namespace {

/// A run of one label along u in a row of the plane.
struct Run {
  Femtometres lo;  // lower end along u
  Femtometres hi;  // upper end
  int32_t label;   // 0 or more

  bool operator==(const Run& other) const {
    return lo == other.lo && hi == other.hi && label == other.label;
  }
};

/// A rectangle of the cover whose upper end along v is not known yet.
struct OpenRect {
  Femtometres lo;  // lower end along u
  Femtometres hi;  // upper end along u
  Femtometres v0;  // lower end along v: the row where it started
  int32_t label;   // label of its points
};

/// The runs of a row that the rectangles `active` span, labelled, without the points labelled
/// -1, neighbours of one label merged.
void row_runs(const std::vector<PaintRect>& rects, const std::vector<uint32_t>& active,
              const PaintLabel& label_of, std::vector<Run>& runs) {
  runs.clear();
  // (u, rectangle + 1) where a rectangle starts, (u, -(rectangle + 1)) where it ends; ends sort
  // first, which does not matter since the label is taken after every event at one u.
  std::vector<std::pair<Femtometres, int64_t>> events;
  events.reserve(2 * active.size());
  for (uint32_t r : active) {
    events.emplace_back(rects[r].lo[0], static_cast<int64_t>(r) + 1);
    events.emplace_back(rects[r].hi[0], -static_cast<int64_t>(r) - 1);
  }
  std::sort(events.begin(), events.end());
  std::multiset<int32_t> ranks[kPaintChannels];  // of the rectangles spanning the current u
  for (size_t e = 0; e < events.size();) {
    const Femtometres u = events[e].first;
    for (; e < events.size() && events[e].first == u; ++e) {
      const int64_t code = events[e].second;
      const PaintRect& rect = rects[code > 0 ? code - 1 : -code - 1];
      if (code > 0) {
        ranks[rect.channel].insert(rect.rank);
      } else {
        ranks[rect.channel].erase(ranks[rect.channel].find(rect.rank));
      }
    }
    if (e == events.size()) break;
    PaintShown shown;
    for (int32_t c = 0; c < kPaintChannels; ++c) {
      shown.rank[c] = ranks[c].empty() ? -1 : *ranks[c].rbegin();
    }
    const int32_t label = label_of(shown);
    if (label < 0) continue;
    const Femtometres next = events[e].first;
    if (!runs.empty() && runs.back().hi == u && runs.back().label == label) {
      runs.back().hi = next;
    } else {
      runs.push_back(Run{u, next, label});
    }
  }
}

/// Whether the open rectangle lies wholly in one run of its label.
bool continues_in(const OpenRect& open, const std::vector<Run>& runs) {
  auto after = std::upper_bound(runs.begin(), runs.end(), open.lo,
                                [](Femtometres u, const Run& run) { return u < run.lo; });
  if (after == runs.begin()) return false;
  const Run& run = *(after - 1);
  return run.label == open.label && open.hi <= run.hi;
}

/// Moves to the row starting at `v` whose runs are `runs`: closes the open rectangles that the
/// row does not continue into `closed`, and opens one for every stretch of a run that no open
/// rectangle covers.
void advance_row(Femtometres v, const std::vector<Run>& runs, std::vector<OpenRect>& open,
                 std::vector<LabelledRect>& closed) {
  std::vector<OpenRect> kept;
  for (const OpenRect& o : open) {
    if (continues_in(o, runs)) {
      kept.push_back(o);
    } else {
      closed.push_back(LabelledRect{{o.lo, o.v0}, {o.hi, v}, o.label});
    }
  }
  std::vector<OpenRect> next;
  size_t k = 0;  // the first kept rectangle not yet passed; kept is in order along u
  for (const Run& run : runs) {
    Femtometres from = run.lo;
    for (; k < kept.size() && kept[k].lo < run.hi; ++k) {
      if (kept[k].lo > from) next.push_back(OpenRect{from, kept[k].lo, v, run.label});
      next.push_back(kept[k]);
      from = kept[k].hi;
    }
    if (from < run.hi) next.push_back(OpenRect{from, run.hi, v, run.label});
  }
  open.swap(next);
}

}  // namespace

bool clip_paint(const PaintRect& extent, PaintRect& r) {
  for (int32_t a = 0; a < 2; ++a) {
    r.lo[a] = std::max(r.lo[a], extent.lo[a]);
    r.hi[a] = std::min(r.hi[a], extent.hi[a]);
    if (r.lo[a] >= r.hi[a]) return false;
  }
  return true;
}

void cover_painted(const std::vector<PaintRect>& rects, const PaintLabel& label_of,
                   std::vector<LabelledRect>& out) {
  std::vector<Femtometres> rows;  // every distinct v, ascending
  for (const PaintRect& r : rects) {
    rows.push_back(r.lo[1]);
    rows.push_back(r.hi[1]);
  }
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  std::vector<uint32_t> by_start(rects.size());
  for (uint32_t k = 0; k < by_start.size(); ++k) by_start[k] = k;
  std::sort(by_start.begin(), by_start.end(),
            [&rects](uint32_t a, uint32_t b) { return rects[a].lo[1] < rects[b].lo[1]; });

  std::vector<uint32_t> active;  // rectangles spanning the current row
  std::vector<Run> runs, previous;
  std::vector<OpenRect> open;
  std::vector<LabelledRect> closed;
  size_t started = 0;
  for (Femtometres v : rows) {
    active.erase(std::remove_if(active.begin(), active.end(),
                                [&rects, v](uint32_t r) { return rects[r].hi[1] <= v; }),
                 active.end());
    for (; started < by_start.size() && rects[by_start[started]].lo[1] == v; ++started) {
      active.push_back(by_start[started]);
    }
    row_runs(rects, active, label_of, runs);
    // A row like the one below continues every open rectangle and opens none.
    if (runs == previous) continue;
    advance_row(v, runs, open, closed);
    previous.swap(runs);
  }
  std::sort(closed.begin(), closed.end(), [](const LabelledRect& a, const LabelledRect& b) {
    return a.lo[1] < b.lo[1] || (a.lo[1] == b.lo[1] && a.lo[0] < b.lo[0]);
  });
  out.insert(out.end(), closed.begin(), closed.end());
}
