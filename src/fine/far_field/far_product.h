#pragma once

#include <cstdint>

#include "common/instruction_set.h"
#include "fine/far_field/far_field_tables.h"
#include "sparse/lane_kernels.h"

/// y += F x with every far pair cut at `degree` (at most F.terms.highest); `multipole` holds
/// `multipole_blocks` blocks and `local` `local_blocks` (see FarFieldWork), both overwritten.
/// Above the kept degree, with room for every node's expansions of both kinds, every node's local
/// expansion is kept; with less, the product is made in two halves of the lanes, each walking the
/// tree depth first. Both give the same bits.
typedef void (*FarProduct)(const FarFieldTables& F, int32_t degree, const Lanes<kNarrowLanes>* x,
                           Lanes<kNarrowLanes>* y, Lanes<kNarrowLanes>* multipole,
                           int64_t multipole_blocks, Lanes<kNarrowLanes>* local,
                           int64_t local_blocks);

/// The far product of one path, compiled for it; the caller makes sure the processor has it
/// (processor_has). The paths differ only in register width, never in a bit of their results.
FarProduct far_product(InstructionSet set);

extern const FarProduct kFarProductSse2;
extern const FarProduct kFarProductAvx2;
extern const FarProduct kFarProductAvx512;
