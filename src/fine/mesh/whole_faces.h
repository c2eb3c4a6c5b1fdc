#pragma once

#include <cstdint>
#include <vector>

#include "structure/axis_rect.h"

/// The faces of conductors in a stack put back together where the stack cut them: a side of a
/// wire crossing layer boundaries comes as strips, one per layer, whose charge varies across
/// the boundaries as it would on the whole side (the medium's jump bends it, it does not start
/// it over), so the strips are graded as the whole side is and not each from its own cut edges.
struct WholeFaces {
  std::vector<AxisRect> rect;      // the whole faces: each face that is no strip, and each
                                   // run of strips as one
  std::vector<uint32_t> owner;     // per whole face, its conductor (or kNoConductor)
  std::vector<uint32_t> whole_of;  // per face, its whole face
};

/// The whole faces of `faces`: conductor faces (owner not kNoConductor) of one conductor, in
/// one plane, with the same span along one extent and meeting end to end along the other.
WholeFaces whole_faces(const std::vector<AxisRect>& faces, const std::vector<uint32_t>& owner);

/// The cuts of a strip [lo, hi] out of the cuts of its whole face (`whole`, ends included):
/// the whole's cuts inside it, without one that would leave a panel under a third of the whole's
/// segment there beside the strip's ends.
std::vector<double> strip_cuts(const std::vector<double>& whole, double lo, double hi);
