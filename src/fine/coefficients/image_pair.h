#pragma once

#include "fine/coefficients/far_pair.h"
#include "structure/axis_rect.h"
#include "structure/space_box.h"

/// What the images of a source b in a stack share as seen from a target a, made once for them
/// all: an image is b moved or mirrored along z, so its sides, and with them the half-diagonals
/// and the moments of x − x', are b's, and of the distances only the parts along z change. The
/// sums across x and y are kept as galerkin_lower_bound and normal_field_scale add them, and
/// what an image's z extent enters is taken from the image (moved or mirrored, its extent may
/// round differently from the source's), so that the image's bound and scale are theirs to the
/// bit.
struct ImagePair {
  SpaceBox target;               // a's box
  double target_area;            // A
  double source_area;            // A'
  double half_diagonals;         // H: half a's diagonal plus half b's
  double across_squared;         // squared offset of the centres along x and y
  double gap_across_squared;     // squared gap of the boxes along x and y
  double spread_across;          // galerkin_lower_bound's sum along x and y
  double target_height_squared;  // a's extent along z, squared
  bool spreads_made;             // `spread` is filled
  double spread[kMomentCount];   // ⟨|x − x'|^(2k)⟩ in units of H^(2k)
};

ImagePair image_pair(const AxisRect& a, const AxisRect& b);

/// galerkin_lower_bound(a, image) for an image of the pair's source.
double image_lower_bound(const ImagePair& pair, const AxisRect& image);

/// normal_field_scale(a, image) for an image of the pair's source.
double image_normal_scale(const ImagePair& pair, const AxisRect& image);

/// True only where the far expansion of `of` cannot take a and the image whose box is `image`:
/// no order up to the highest passes the expansion's own check, by the bound for any shapes or
/// by the pair's own moments, at the loosest tolerance that an `allowance` (as
/// galerkin_integral_within's or normal_field_integral_within's) can give it. A margin far above
/// the rounding keeps it from refusing what the check would take.
bool far_ruled_out(ImagePair& pair, const AxisRect& image, ExpansionOf of, double allowance);
