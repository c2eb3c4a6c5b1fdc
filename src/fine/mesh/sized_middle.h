#pragma once

#include <cstdint>
#include <vector>

/// A place along an extent of a face near which the face's charge varies on a length of its
/// own: where another face that lies `gap` away begins or ends over it (a wire crossing above,
/// a wire over a ground plane).
struct GradingSource {
  double at;   // the position along the extent, in the face's own coordinate
  double gap;  // the distance of the face that begins or ends there
};

/// The cuts inside the middle part [lo, hi] of an extent (neither end included), sized by
///   s(x) = min(3 W, 3 w + |x - end|, 3 g + |x - at| for each source) / m
/// over the two ends of the part (edge layers of width w = `width` beside them) and the
/// sources: segments of 3 w / m at the ends and 3 g / m at a source, growing by about 1 + 1/m
/// each away from them, none longer than 3 W / m (W = `grown`). The cuts fall at equal steps of
/// the integral of 1 / s, so that the part and its mirror image are cut alike, and their number
/// is the integral rounded up: about m ln(distance / g) segments per source, so a wire crossing
/// above a face is resolved at every level without cutting the whole face by its gap.
std::vector<double> sized_middle_cuts(double lo, double hi, double width, double grown,
                                      const std::vector<GradingSource>& sources, int32_t m);
