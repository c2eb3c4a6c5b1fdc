#pragma once

#include <atomic>
#include <cstdint>

#include "common/instruction_set.h"
#include "fine/far_field/far_field_tables.h"
#include "sparse/lane_kernels.h"

/// y += F x with every far pair cut at `degree` (at most F.terms.highest); `space` holds `blocks`
/// blocks (see FarFieldWork), overwritten. Above the kept degree, with room for every node's
/// expansions of both kinds (2 F.blocks), every node's local expansion is kept; with room for
/// the moments and one path's locals (depth_first_blocks), the tree is walked depth first; with
/// less, the same in two halves of the lanes. All give the same bits.
typedef void (*FarProduct)(const FarFieldTables& F, int32_t degree, const Lanes<kNarrowLanes>* x,
                           Lanes<kNarrowLanes>* y, Lanes<kNarrowLanes>* space, int64_t blocks);

/// Whole blocks that hold `count` blocks of half the lanes each.
constexpr int64_t half_blocks(int64_t count) { return (count + 1) / 2; }

/// The blocks of a product above the kept degree that walks the tree depth first a whole lane
/// group at a time: every node's moments and the locals of one path.
inline int64_t depth_first_blocks(const FarFieldTables& F) {
  return F.blocks + int64_t{F.depth} * F.terms.count;
}

/// The same in two halves of the lanes, one after the other: half the room, but each far
/// pair's tensor made twice and every move made at half the width.
inline int64_t half_depth_first_blocks(const FarFieldTables& F) {
  return half_blocks(F.blocks) + half_blocks(int64_t{F.depth} * F.terms.count);
}

/// The far product of one path, compiled for it; the caller makes sure the processor has it
/// (processor_has). The paths differ only in register width, never in a bit of their results.
FarProduct far_product(InstructionSet set);

/// One product made by several threads together, where there are fewer products to make at once
/// than threads (the last product of a level, the solves of a single lane group). `moments` (one
/// thread) puts every node's moments in `moments`, F.blocks blocks at F.offset; then `locals`, on
/// each thread with its own `path` (F.depth · F.terms.count blocks) and one `next` (from 0) for
/// all, walks the tree depth first: the subtrees below `split_depth` go to the threads in turn, and
/// each adds to y the values of the panels of the subtrees it took. Together they add to y the bits
/// of FarProduct, whichever thread took which subtree.
struct SharedFarProduct {
  void (*moments)(const FarFieldTables& F, int32_t degree, const Lanes<kNarrowLanes>* x,
                  Lanes<kNarrowLanes>* moments);
  void (*locals)(const FarFieldTables& F, int32_t degree, const Lanes<kNarrowLanes>* moments,
                 Lanes<kNarrowLanes>* y, Lanes<kNarrowLanes>* path, int32_t split_depth,
                 std::atomic<int32_t>& next);
};

/// The shared product of one path, as far_product.
const SharedFarProduct& shared_far_product(InstructionSet set);

extern const FarProduct kFarProductSse2;
extern const FarProduct kFarProductAvx2;
extern const FarProduct kFarProductAvx512;
extern const SharedFarProduct kSharedFarProductSse2;
extern const SharedFarProduct kSharedFarProductAvx2;
extern const SharedFarProduct kSharedFarProductAvx512;
