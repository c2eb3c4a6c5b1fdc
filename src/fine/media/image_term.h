#pragma once

#include <vector>

#include "structure/axis_rect.h"

/// One image of a source point (x', y', z'): a point charge of weight `weight` at
/// (x', y', mirror ? offset - z' : offset + z'). The potential of the image at a target x is
/// weight / |x - image|.
struct ImageTerm {
  double weight;  // charge of the image relative to the source's, over the permittivity
  bool mirror;    // true: the image is z-mirrored (z' -> offset - z'); false: moved by offset
  double offset;  // mirror plane times two, or the shift along z
};

/// G'_ij(x, x') = sum_n w_n / |x - image_n(x')| for a source x' in layer i and a target x in
/// layer j, where the potential of a free point charge q is q G' / (4 pi eps0). Every image of
/// a source inside layer i lies outside the open layer j, except the direct term (offset 0, no
/// mirror) of i == j.
///
/// `error` bounds the fit: for every x' in layer i and x in layer j (boundaries included),
///   |G'_fit(x, x') - G'_exact(x, x')| <= error / (eps_min * |x - x'|),
/// with eps_min the smaller permittivity of the two layers. It is a proved bound, not a sampled
/// estimate: for each fitted coefficient function, the spectral error of its finest fit (its
/// maximum and weighted variation over all wavenumbers) plus the difference of the fit used
/// from that one, a sum of images bounded in space (exponential_fit.h).
struct LayerPairKernel {
  std::vector<ImageTerm> terms;  // the images, the direct one first where there is one
  double error;                  // bound on the fit's error relative to 1 / (eps_min |x - x'|)
};

/// The z of the image of a source at z.
inline double image_z(double z, const ImageTerm& term) {
  return term.mirror ? term.offset - z : term.offset + z;
}

/// The image of a uniformly charged rectangle: a horizontal one moves or mirrors its level, a
/// vertical one moves or flips its z extent (lo <= hi kept). Mirroring is an isometry, so
///   galerkin_integral(target, image_rect(source, term))
/// is the term's Galerkin integral between the two rectangles.
AxisRect image_rect(const AxisRect& source, const ImageTerm& term);
