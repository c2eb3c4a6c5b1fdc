#pragma once

#include <cstdint>
#include <vector>

#include "fine/mesh/sized_middle.h"
#include "fine/mesh/whole_faces.h"
#include "structure/axis_rect.h"

/// How the middles of the faces of a layer stack are cut (graded_cuts): the length their
/// segments grow to, and the places inside them where other faces begin or end close by.
struct MiddleGrading {
  WholeFaces whole;                                 // the faces with their strips put back
                                                    // together: the scales and sources are
                                                    // those of the whole faces
  std::vector<double> scale;                        // per whole face and extent (2 w + k), as
                                                    // middle_scales gives it
  std::vector<std::vector<GradingSource>> sources;  // per whole face and extent, by position:
                                                    // the ends of faces nearer than that scale
};

/// The middle grading of `faces`, on their whole faces: their middle scales, and for each extent of
/// a face every end of another face that lies strictly inside the extent's span, nearer to the face
/// than the extent's middle scale (a face of the face's own conductor only as far as middle_scales
/// counts it): a wire that crosses above or below a face, or the ends of a wire over a ground
/// plane, where the face's charge changes over the distance between the two. `owner` gives each
/// face's conductor, or kNoConductor. Through the hierarchy of the faces' bounds.
MiddleGrading middle_grading(const std::vector<AxisRect>& faces,
                             const std::vector<uint32_t>& owner);

/// The feature scales of `faces` (two per face, as feature_scales gives them) as those of their
/// whole faces: a strip is graded as the side it is cut from.
std::vector<double> whole_feature_scales(const MiddleGrading& grading);
