#pragma once

#include <cstdint>

#include "common/instruction_set.h"
#include "fine/far_field/far_field_tables.h"
#include "sparse/lane_kernels.h"

/// y += F x with every far pair cut at `degree` (at most F.terms.highest); `space` holds `blocks`
/// blocks (see FarFieldWork), overwritten. Above the kept degree, with room for every node's
/// expansions of both kinds (2 F.blocks), every node's local expansion is kept; with less, the
/// product is made in two halves of the lanes, each walking the tree depth first. Both give the
/// same bits.
typedef void (*FarProduct)(const FarFieldTables& F, int32_t degree, const Lanes<kNarrowLanes>* x,
                           Lanes<kNarrowLanes>* y, Lanes<kNarrowLanes>* space, int64_t blocks);

/// Whole blocks that hold `count` blocks of half the lanes each.
constexpr int64_t half_blocks(int64_t count) { return (count + 1) / 2; }

/// The far product of one path, compiled for it; the caller makes sure the processor has it
/// (processor_has). The paths differ only in register width, never in a bit of their results.
FarProduct far_product(InstructionSet set);

extern const FarProduct kFarProductSse2;
extern const FarProduct kFarProductAvx2;
extern const FarProduct kFarProductAvx512;
