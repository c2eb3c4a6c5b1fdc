#include "fine/mesh/sized_middle.h"

#include <algorithm>
#include <cmath>

namespace {

/// One piece of [lo, hi] on which the segment length times m is a single line:
/// the cap C (kind 0), A + x (kind 1) or B - x (kind 2).
struct SizePiece {
  double from, to;  // its span
  int32_t kind;     // which line, as above
  double value;     // C, A or B
  double start;     // the integral of m / s from lo up to `from`
  double count;     // the integral of m / s over the piece
};

/// The integral of m / s over [x0, x1] on a piece of `kind` and `value`.
double piece_count(int32_t kind, double value, double x0, double x1, int32_t m) {
  if (kind == 0) return m * (x1 - x0) / value;
  if (kind == 1) return m * std::log((value + x1) / (value + x0));
  return m * std::log((value - x0) / (value - x1));
}

/// The point of a piece where the integral from `from` reaches `t`.
double piece_point(const SizePiece& p, double t, int32_t m) {
  const double u = t / m;
  double x;
  if (p.kind == 0)
    x = p.from + u * p.value;
  else if (p.kind == 1)
    x = (p.value + p.from) * std::exp(u) - p.value;
  else
    x = p.value - (p.value - p.from) * std::exp(-u);
  return std::min(std::max(x, p.from), p.to);
}

/// A V-shaped bound on the segment length: c + |x - at|.
struct SizeBound {
  double at;  // where it is least
  double c;   // its least value
};

/// Appends the pieces of [x0, x1], on which the length is min(A + x, B - x, C).
void add_pieces(double x0, double x1, double a, double b, double c, int32_t m,
                std::vector<SizePiece>& pieces) {
  double split[5] = {x0, c - a, b - c, 0.5 * (b - a), x1};
  std::sort(split + 1, split + 4);
  double from = x0;
  for (int32_t i = 1; i < 5; ++i) {
    const double to = std::min(std::max(split[i], from), x1);
    if (i < 4 && to <= from) continue;
    if (to <= from) break;
    const double mid = 0.5 * (from + to);
    const double up = a + mid, down = b - mid;
    SizePiece p{from, to, 0, c, 0.0, 0.0};
    if (up < down && up < c) p = SizePiece{from, to, 1, a, 0.0, 0.0};
    if (down <= up && down < c) p = SizePiece{from, to, 2, b, 0.0, 0.0};
    p.count = piece_count(p.kind, p.value, from, to, m);
    pieces.push_back(p);
    from = to;
  }
}

}  // namespace

std::vector<double> sized_middle_cuts(double lo, double hi, double width, double grown,
                                      const std::vector<GradingSource>& sources, int32_t m) {
  std::vector<SizeBound> bounds{{lo, 3.0 * width}, {hi, 3.0 * width}};
  for (const GradingSource& s : sources) bounds.push_back(SizeBound{s.at, 3.0 * s.gap});
  std::sort(bounds.begin(), bounds.end(),
            [](const SizeBound& x, const SizeBound& y) { return x.at < y.at; });
  const size_t n = bounds.size();
  // Left of a point, the least of the rising branches of the bounds at or before it (A + x);
  // right of it, the least of the falling branches of those at or after it (B - x).
  std::vector<double> rising(n), falling(n);
  for (size_t i = 0; i < n; ++i)
    rising[i] = std::min(i > 0 ? rising[i - 1] : INFINITY, bounds[i].c - bounds[i].at);
  for (size_t i = n; i-- > 0;)
    falling[i] = std::min(i + 1 < n ? falling[i + 1] : INFINITY, bounds[i].c + bounds[i].at);
  const double cap = 3.0 * grown;
  std::vector<SizePiece> pieces;
  for (size_t i = 0; i + 1 < n; ++i) {
    const double x0 = std::max(bounds[i].at, lo), x1 = std::min(bounds[i + 1].at, hi);
    if (x1 > x0) add_pieces(x0, x1, rising[i], falling[i + 1], cap, m, pieces);
  }
  double total = 0.0;
  for (SizePiece& p : pieces) {
    p.start = total;
    total += p.count;
  }
  // A few units in the last place must not add a segment (the same in another unit).
  const int32_t segments = std::max(1, static_cast<int32_t>(std::ceil(total - 1e-9)));
  std::vector<double> cuts;
  size_t k = 0;
  for (int32_t i = 1; i < segments; ++i) {
    const double t = total * i / segments;
    while (k + 1 < pieces.size() && pieces[k].start + pieces[k].count <= t) ++k;
    cuts.push_back(piece_point(pieces[k], t - pieces[k].start, m));
  }
  return cuts;
}
