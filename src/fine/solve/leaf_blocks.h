#pragma once

#include <cstdint>
#include <vector>

#include "fine/solve/near_field.h"
#include "sparse/lane_kernels.h"

/// Exact Cholesky factors of overlapping diagonal blocks of a symmetric near matrix, for a
/// restricted additive Schwarz preconditioner: each block is a leaf's rows and the rows most
/// strongly coupled to them that are near all of them, and its solve is kept on the leaf's rows
/// only, so every row is written by exactly one block. The leaf's own block holds every coefficient
/// among its panels (a leaf is near itself), a principal block of the positive definite matrix: its
/// factor needs no raised diagonal. Where the overlap's missing far coefficients make a block's
/// pivot not positive (rounding), that block is the leaf's alone.
struct LeafBlocks {
  int32_t n = 0;                      // order of the matrix
  std::vector<int64_t> block_start;   // per block, then one more: offset into `rows`
  std::vector<int32_t> owned;         // per block: its leaf's rows, the first in `rows`
  std::vector<int32_t> rows;          // each block's rows: its leaf's, then the neighbours'
  std::vector<int64_t> factor_start;  // per block: offset into `factor`
  std::vector<double> factor;         // each block's L, the lower triangle row by row
  int32_t largest = 0;                // rows of the largest block
};

/// The blocks of `near` over `leaves` (each [first, first + count) of its rows, together every
/// row once), each grown by the rows of coefficients of at least `keep` times the geometric mean
/// of their diagonal entries with one of the leaf's rows, the strongest first, each only if it
/// is near every row already in, to at most `most_rows` rows.
LeafBlocks make_leaf_blocks(const NearField& near,
                            const std::vector<std::pair<int32_t, int32_t>>& leaves, double keep,
                            int32_t most_rows);

/// z = Σ_blocks (its leaf's rows of) B⁻¹ (its rows of) r. Each lane's arithmetic is its own, and
/// one code serves every instruction set; the blocks are independent, and `threads` share them
/// with the same bits.
void leaf_blocks_solve(const LeafBlocks& B, const Lanes<kNarrowLanes>* r, Lanes<kNarrowLanes>* z,
                       int32_t threads = 1);

/// The leaves of `tree` as ranges of the rows listed in `rows_at` (ascending tree positions),
/// renumbered among them; a leaf none of whose panels is listed gives no range.
std::vector<std::pair<int32_t, int32_t>> leaf_ranges(const ClusterTree& tree,
                                                     const std::vector<int32_t>& rows_at);
