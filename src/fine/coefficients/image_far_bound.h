#pragma once

#include "fine/coefficients/far_pair.h"
#include "structure/axis_rect.h"
#include "structure/space_box.h"

/// What the far expansion's own check reads of a target a and a source b, made once for all the
/// images of b in a stack: an image is b moved or mirrored along z, so its sides, and with them
/// the half-diagonals and the moments of x − x', are b's, and only the offset of the centres
/// along z changes. far_ruled_out then refuses an image before anything is set up for it.
struct ImageFarBound {
  SpaceBox target;              // a's box
  double half_diagonals;        // H: half a's diagonal plus half b's
  double across_squared;        // squared offset of the centres along x and y
  double gap_across_squared;    // squared gap of the boxes along x and y
  double half_heights;          // half a's extent along z plus half b's
  double area_product;          // A·A'
  bool spreads_made;            // `spread` is filled
  double spread[kMomentCount];  // ⟨|x − x'|^(2k)⟩ in units of H^(2k)
};

ImageFarBound image_far_bound(const AxisRect& a, const AxisRect& b);

/// True only where the far expansion of `of` cannot take a (the bound's target) and `image` (an
/// image of its source): no order up to the highest passes the expansion's own check, by the
/// bound for any shapes or by the pair's own moments, at the loosest tolerance that an
/// `allowance` (as galerkin_integral_within's or normal_field_integral_within's) can give it. A
/// margin far above the rounding keeps it from refusing what the check would take.
bool far_ruled_out(ImageFarBound& bound, const AxisRect& image, ExpansionOf of, double allowance);
