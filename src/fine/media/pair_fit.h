#pragma once

#include <cstdint>

#include "fine/media/image_term.h"
#include "fine/media/pair_spectrum.h"

/// The kernel of source layer `source` <= target layer `target` of a merged stack, each of its
/// coefficient functions (pair_spectrum) fitted by its limit at infinite wavenumber plus a short
/// sum of decaying exponentials, so that the whole kernel's `error` is at most `tolerance`
/// where the fit allows it. The wavenumbers sampled and the rates allowed are set by the
/// stack's own lengths and permittivities only.
LayerPairKernel fit_layer_pair(const SpectralStack& stack, int32_t source, int32_t target,
                               double tolerance);
