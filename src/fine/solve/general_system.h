#pragma once

#include <cstdint>
#include <vector>

#include "common/instruction_set.h"
#include "fine/far_field/far_field.h"
#include "fine/solve/incomplete_factor.h"
#include "fine/solve/leaf_blocks.h"
#include "fine/solve/near_rows.h"

/// The system of a level with dielectric pieces, in tree order. A conductor panel's row is its
/// mean potential; a piece's is the continuity of eps·(normal field) across it,
///   s_i (x_i / A_i + f_i · (mean derivative of the potential along its axis)) = 0,
/// f_i = c_i eps_i / 4π (FaceMedium), scaled by s_i = √A_i so that its size is that of a
/// potential row's. Near and far parts give the potential or the derivative as the row asks.
struct GeneralSystem {
  const NearRows& near;            // the near coefficients, row by row
  const FarField& far;             // the far field, its piece rows taking the normal moments
  std::vector<char> piece;         // per tree position: a piece's row
  std::vector<double> area;        // per tree position: the panel's area
  std::vector<double> factor;      // per tree position: f_i of a piece, 0 for a conductor panel
  InstructionSet instruction_set;  // the path of the far product
};

/// y = A x with the far field cut at `degree`; `work` is overwritten. With `threads` above 1,
/// made by that many threads together (the near part beside the far field's moments, then the
/// far field's local expansions shared), with the same bits.
void apply_general(const GeneralSystem& A, int32_t degree, const Lanes<kNarrowLanes>* x,
                   Lanes<kNarrowLanes>* y, FarFieldWork& work, int32_t threads = 1);

/// A block lower-triangular preconditioner: the incomplete factor of the conductor rows and
/// columns, then each piece row by its diagonal after the near terms of the conductor part.
/// Where the conductors' factor cannot be made with its diagonal raised by a fifth, the raise
/// weakens it where the mesh is coarse, and the leaves' exact blocks (LeafBlocks), which cannot
/// break down, do better there but miss the long-range part of the error where the leaves are
/// many: both are made, and choose_conductor_rows keeps the one that solves faster.
struct BlockPreconditioner {
  std::vector<int32_t> conductor_at;  // tree positions of the conductor rows, ascending
  IncompleteFactor factor;            // of their near block, numbered as conductor_at; or empty
  LeafBlocks blocks;                  // the leaves' blocks of it, or empty
  bool use_blocks = false;            // the conductor rows take the blocks, not the factor
  std::vector<double> diagonal;       // per tree position: a piece row's diagonal, 0 elsewhere
};

/// The preconditioner of `A`, its factor keeping the entries of at least `keep` (as
/// make_incomplete_factor), its blocks over the leaves of `tree`. Where the factor is made at a
/// fifth it is taken alone; else the factor raised as it needs (if it can be made) and the blocks
/// are both made, the blocks in use.
BlockPreconditioner make_block_preconditioner(const GeneralSystem& A, const ClusterTree& tree,
                                              double keep);

/// The lane groups per conductor row that apply_block_preconditioner needs.
constexpr int32_t kBlockPreconditionerVectors = 2;

/// z = M⁻¹ r; `work` holds kBlockPreconditionerVectors lane groups per conductor row. With
/// `threads` above 1, the leaves' blocks and the piece rows are shared among that many threads,
/// with the same bits (the incomplete factor's solve stays on one).
void apply_block_preconditioner(const GeneralSystem& A, const BlockPreconditioner& M,
                                const Lanes<kNarrowLanes>* r, Lanes<kNarrowLanes>* z,
                                Lanes<kNarrowLanes>* work, int32_t threads = 1);
