#pragma once

#include <cstdint>
#include <vector>

#include "fine/far_field/far_field.h"

/// The far pairs of a layer stack. Between a node A in layer j and a node B in layer i, the
/// kernel is G'(x, x') = Σ_n w_n / |x − image_n(x')| (x near A, x' near B, the kernel of source
/// layer i and target layer j; by G'_ij(x, x') = G'_ji(x', x) the same function serves the other
/// direction). Moved images keep the moments of B, so their terms add up to one tensor
///   T_t(γ) = Σ_moved w_n D^γ(1/r) at image_n(c_B) − c_A,
/// taken as a plain pair takes its tensor. A z-mirror flips the z exponent's sign of every
/// moment of B: the mirrored images add up to T_m, which A takes with τ = (−1)^v(γ) and
/// σ = (−1)^(t + u)(out), and B with τ = (−1)^degree(γ) and σ = (−1)^(t + u)(out). So a pair
/// costs at most twice a pair of one medium, however many images its kernel has.
///
/// Each image enters the tensors up to the degree at which its own truncation, by its weight and
/// its ratio of radii to distance (never larger than the pair's: an image of B lies outside the
/// layer of A, at least as far from c_A as c_B), falls below a tenth of the pair's.
void add_image_pairs(const ClusterTree& tree, const InteractionLists& lists,
                     const std::vector<int32_t>& degree, const FarFieldMedium& medium,
                     FarFieldTables& F);
