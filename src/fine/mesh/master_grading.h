#pragma once

#include <cstdint>
#include <vector>

#include "structure/axis_rect.h"

/// How far the field of a master's solve reaches into the scale of a face: a face at distance d
/// from the nearest face of a master is meshed as if its charge varied on no scale below
/// d / kMasterReach.
constexpr double kMasterReach = 2.0;

/// The feature scales of a run that computes the rows of some conductors only (the masters),
/// from those of the full run (`feature`, two per face as feature_scales gives them).
///
/// Every solve of such a run holds one master at potential 1 and every other conductor at 0. A
/// face of no master at distance d from the nearest face of a master lies in a field that comes
/// from at least d away and so varies on no scale below d; the narrow gaps between it and other
/// faces at potential 0 gather little charge (the field between two faces at one potential is
/// weak), so its charge needs no finer grading than d gives. Its scale along each extent becomes
/// max(scale, d / kMasterReach), at most kWholeExtent times the extent's length: a face at least
/// that far from every master is cut into m segments along the extent instead of 2 m or more
/// (graded_cuts). A master's faces keep their scales. The levels still refine every face in
/// proportion to m with the same grading towards its edges, so the error of every face falls at
/// the same rate and the convergence over the levels sees it.
///
/// `owner` gives each face's conductor (kNoConductor for a dielectric piece); `masters` the
/// conductors whose rows are computed out of `conductors`. With no masters, or every conductor a
/// master, the scales are returned as they are. Found through a hierarchy of the masters' faces:
/// about n log n for n faces.
std::vector<double> master_graded_scales(const std::vector<AxisRect>& faces,
                                         const std::vector<uint32_t>& owner,
                                         const std::vector<int32_t>& masters, int32_t conductors,
                                         const std::vector<double>& feature);
