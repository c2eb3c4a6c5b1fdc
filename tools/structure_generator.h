#pragma once

#include <cstdint>

#include "tools/box_writer.h"

// The structures of vornax-gen, in metres. Each takes arguments that the
// command line has already checked: positive lengths, positive counts.

/// One cube [0, side]^3.
Structure cube_structure(double side);

/// Two width x width plates of the given thickness, the second `gap` above the
/// first: [0,w]x[0,w]x[0,t] and [0,w]x[0,w]x[t+gap, 2t+gap].
Structure plates_structure(double width, double gap, double thickness);

/// A k x k crossing bus, every coordinate times `scale`. With L = 2k + 1,
/// lower wire i spans x in [0,L], y in [2i+1, 2i+2], z in [0,1]; upper wire j
/// spans x in [2j+1, 2j+2], y in [0,L], z in [2,3]. Conductors: lower 0..k-1,
/// then upper 0..k-1.
Structure bus_structure(int32_t k, double scale);

/// `count` boxes with sides from 1 to 3 and gaps of at least 2 between them,
/// all coordinates multiples of 1/8, laid out from `seed` alone: the same
/// arguments give the same file on every platform.
Structure random_structure(int32_t count, uint64_t seed);
