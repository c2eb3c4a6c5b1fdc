#pragma once

#include <cstdint>
#include <vector>

#include "fine/mesh/middle_grading.h"
#include "structure/axis_rect.h"
#include "structure/panel_file_reader.h"

/// One panel of a refinement level: a rectangle of one face (input panel) of a conductor.
struct MeshPanel {
  AxisRect rect;       // where it lies
  double area;         // its area, the product of its two extents
  uint32_t conductor;  // conductor it belongs to, from 0 in file order
};

/// A refinement level: every face cut into a grid of panels by breakpoints along its two
/// extents, graded towards the face's edges.
struct LevelMesh {
  std::vector<MeshPanel> panels;             // face by face, each face row by row
  std::vector<uint32_t> face_first;          // first panel of each face; one more entry at the end
  std::vector<std::vector<double>> cuts[2];  // per face, the breakpoints along its two extents
};

/// The breakpoints of [lo, hi] at level m, for a face whose charge varies on the scale
/// `feature`: two edge layers of width w = min(feature, (hi - lo) / 2), each cut at
/// w (i / m)^3 from its end, and between them equal segments, m per three widths w; or, where
/// `grown` W = min(grown, (hi - lo) / 2) exceeds w, segments that start at 3 w / m at both ends
/// and grow by 1 + 1/m each up to 3 W / m (so that a face whose scale is set by a narrow slit at
/// one edge is not cut into segments of the slit's width across its whole length); with
/// `sources` inside the span, the middle is sized by them as well (sized_middle_cuts). A `feature`
/// of kWholeExtent times the length or more (a face far from every master net, whose charge
/// varies on no scale of its own) cuts [lo, hi] into m segments only, graded towards both ends
/// as the two edge layers of width (hi - lo) / 2 would be at m / 2 (whole_extent_cuts).
std::vector<double> graded_cuts(double lo, double hi, double feature, int32_t m, double grown = 0.0,
                                const std::vector<GradingSource>* sources = nullptr);

/// See graded_cuts: a feature scale this many times an extent's length or more.
constexpr double kWholeExtent = 2.0;

/// The m segments of [lo, hi] at lo + L g(i / m), g(s) = 4 s³ up to s = 1/2 and 1 - 4 (1 - s)³
/// beyond: the cubic grading towards both ends of the edge layers, with half their segments.
std::vector<double> whole_extent_cuts(double lo, double hi, int32_t m);

/// The panels of level m for a structure whose faces have the given feature scales, two per
/// face as feature_scales gives them; with `middle` (middle_grading), the middle segments of a
/// face grow up to its middle scales, sized down near its sources (graded_cuts).
LevelMesh make_level_mesh(const FineStructure& structure, const std::vector<double>& feature,
                          int32_t m, const MiddleGrading* middle = nullptr);

/// Charges on `to` that carry the charge density of `from`, face by face: each panel of `to`
/// gets the density of the panel of `from` that holds its centre. A good first guess for a
/// solve on a finer level. `charge` has one value per panel of `from`, `out` of `to`.
void carry_charge_density(const LevelMesh& from, const LevelMesh& to, const double* charge,
                          int32_t lanes, double* out);
