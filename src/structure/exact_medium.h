#pragma once

#include <cstdint>
#include <vector>

#include "structure/box_index.h"
#include "structure/painted_cover.h"
#include "structure/union_surface.h"

/// The medium of a cap3d structure in exact coordinates: what the outsides of the conductors
/// and the dielectric pieces are painted from.
struct ExactMedium {
  std::vector<Femtometres> boundaries;     // z of the boundaries between planar layers, bottom
                                           // up: layer k lies between boundaries[k - 1] and
                                           // boundaries[k]; the lowest and highest reach on
  std::vector<double> layer_permittivity;  // by layer, one more than boundaries
  std::vector<SolidBox> blocks;            // dielectric blocks in file order (cut to the
                                           // window when its faces are grounded)
  std::vector<double> block_permittivity;  // by block; where blocks overlap, the later one's
  BoxIndex block_index;                    // over blocks
  std::vector<SolidBox> conductors;        // every conductor box: the nets' blocks, their
                                           // filled cavities and the grounded window's walls
  BoxIndex conductor_index;                // over conductors

  /// The layer that holds the points just below height z.
  int32_t layer_below(Femtometres z) const;
  /// The layer that holds the points just above height z.
  int32_t layer_above(Femtometres z) const;
};

/// A piece of a conductor face and what lies outside it.
struct OutsidePiece {
  SurfaceRect rect;     // where it lies and which way is out
  double permittivity;  // real relative permittivity just outside
  double background;    // that of the planar layer just outside
};

/// Appends the pieces of conductor face `face` to `pieces`: cut where a layer boundary crosses
/// it and where the medium outside changes, merged greedily where it does not (painted_cover.h);
/// the parts that another conductor covers (a grounded window's wall) are left out.
void paint_outside(const ExactMedium& medium, const SurfaceRect& face,
                   std::vector<OutsidePiece>& pieces);

/// A dielectric piece in exact coordinates (fine_structure.h, DielectricPiece).
struct ExactPiece {
  SurfaceRect rect;         // where it lies; `outward` means nothing here
  double real_below;        // e1, just below rect.level along its axis
  double real_above;        // e2
  double background_below;  // eA
  double background_above;  // eB
};

/// Appends the dielectric pieces of `medium` to `pieces`: every face of a block and every layer
/// boundary inside a block, less what conductors cover or fill, cut so that the four
/// permittivities are constant and each piece lies in one layer, without those where c = 0.
/// Planes by axis and level, pieces of a plane by their lower ends (second span, then first).
void dielectric_pieces(const ExactMedium& medium, std::vector<ExactPiece>& pieces);

// Shared by the two above.

/// Whether box `c` fills the space just beyond the plane at `level` along `axis`, on the side
/// that `side` (+1 above, -1 below) names.
inline bool fills_side(const SolidBox& c, int32_t axis, Femtometres level, int32_t side) {
  return side > 0 ? c.lo[axis] <= level && level < c.hi[axis]
                  : c.lo[axis] < level && level <= c.hi[axis];
}

/// The box's section across `axis` in the plane's coordinates (u, v) = ((axis + 1) % 3,
/// (axis + 2) % 3), as paint of `channel` and `rank`.
PaintRect box_section(const SolidBox& box, int32_t axis, int32_t channel, int32_t rank);

/// Adds to `paint` one rectangle per layer that crosses `extent` (a rectangle of the plane across
/// `axis`, x or y), in `channel` with the layer as rank: the layers' bands across the plane.
void paint_layer_bands(const ExactMedium& medium, int32_t axis, const PaintRect& extent,
                       int32_t channel, std::vector<PaintRect>& paint);
