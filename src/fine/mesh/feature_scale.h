#pragma once

#include <cstdint>
#include <vector>

#include "structure/axis_rect.h"
#include "structure/fine_structure.h"

/// The owner of a face that belongs to no conductor (a dielectric interface piece).
constexpr uint32_t kNoConductor = 0xffffffffu;

/// A face of a conductor nearer to another face of the same conductor than this fraction of the
/// latter's shorter side is a detail of that conductor's own surface (a via's enclosure, a jog):
/// the conductor is at one potential on both, so no field gathers charge between them, and the
/// charge it moves lies within that distance of the detail, a small part of the face's charge
/// that each level's grading towards the face's edges takes in as the levels go finer.
constexpr double kOwnDetail = 0.25;

/// Two faces nearer than this fraction of the shorter sides of both, one of them a dielectric
/// piece, are across a tiny gap: a liner that ends 0.1 nm above a layer boundary, two blocks
/// drawn to touch that miss by a rounding. The thin film of the medium between them carries a
/// dipole layer whose field, beyond a few gaps, is that of the film's potential step, a share of
/// about gap / side of the face's potential; the two faces' charges differ from those of the
/// closed gap only within a few gaps of the film's edges, a share of about gap / side of each
/// face's charge. So the film changes the result by about as much as closing it would, which is
/// itself of the order gap / side of the charge on these faces, and the mesh need not resolve
/// it: such a gap sets no feature scale and no source (meshed as if the faces touched). Two
/// conductors of different nets always count: their gap holds their coupling.
constexpr double kTinyGap = 1.0 / 40;

/// Whether face g, `gap` away from face f, is a feature of f: not a detail of f's own
/// conductor (nearer than `own_detail` times f's shorter side), nor across a tiny gap.
bool counts_as_feature(const AxisRect& f, uint32_t owner_f, const AxisRect& g, uint32_t owner_g,
                       double gap, double own_detail);

/// The lengths on which the charge of each face varies along its two extents, for the grading of
/// its panels: two values per face, scale[2 f + k] along extent k (lo[k] .. hi[k]). Each is the
/// length of that extent, or the distance to the nearest face that the face does not touch
/// where that is smaller; a face of the same conductor nearer than kOwnDetail times the face's
/// shorter side does not count (`own_detail` in place of kOwnDetail; 0 counts every face), nor
/// a face across a tiny gap (counts_as_feature).
/// `owner` gives each face's conductor, or kNoConductor. Found through a hierarchy of the faces'
/// bounds: about n log n for n faces.
std::vector<double> feature_scales(const std::vector<AxisRect>& faces,
                                   const std::vector<uint32_t>& owner,
                                   double own_detail = kOwnDetail);

/// The lengths on which the charge of each face varies in its middle, for the segments that grow
/// from its edges (graded_cuts): two values per face as feature_scales gives them, each the
/// length of that extent, or the distance d to the nearest face counted as there that has an end
/// inside the face's span along that extent, farther than d from both ends, where that is
/// smaller; but never below the
/// face's shorter side (a narrow slit at one edge does not cut a wide face all over). A face that
/// runs on past both ends (the step beside a ledge, the far side of a thin strip) changes the
/// charge across the face, not along it; one beyond an end is the end's, and the edge layers grade
/// towards it. Neither asks for short segments all along: a ledge 2 nm wide and 180 µm long is
/// cut by its width across and coarsely along. Each value is at least the feature scale.
std::vector<double> middle_scales(const std::vector<AxisRect>& faces,
                                  const std::vector<uint32_t>& owner,
                                  double own_detail = kOwnDetail);

/// The feature scales of a structure's conductor panels.
std::vector<double> feature_scales(const FineStructure& structure, double own_detail = kOwnDetail);
