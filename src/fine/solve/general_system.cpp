#include "fine/solve/general_system.h"

#include <cmath>

#include "common/parallel_for.h"
#include "fine/solve/near_kernels.h"

void apply_general(const GeneralSystem& A, int32_t degree, const Lanes<kNarrowLanes>* x,
                   Lanes<kNarrowLanes>* y, FarFieldWork& work, int32_t threads) {
  A.far.add_product_together(degree, x, y, work, threads, A.instruction_set,
                             [&] { near_rows_multiply(A.near, x, y); });
  for (int32_t i = 0; i < A.near.n; ++i) {
    if (!A.piece[i]) continue;
    const double scale = std::sqrt(A.area[i]);
    for (int32_t w = 0; w < kNarrowLanes; ++w) {
      y[i].lane[w] = scale * (x[i].lane[w] / A.area[i] + A.factor[i] * y[i].lane[w]);
    }
  }
}

namespace {

/// Rows of a leaf's block at the most, its own and its neighbours'. On lines24's first level the
/// blocks stop growing near 32 rows (a neighbour must be near every row already in); 64 leaves
/// room and costs at most 64² per leaf and lane in a solve.
constexpr int32_t kLeafBlockRows = 64;

}  // namespace

BlockPreconditioner make_block_preconditioner(const GeneralSystem& A, const ClusterTree& tree,
                                              double keep) {
  BlockPreconditioner M;
  const NearRows& N = A.near;
  std::vector<int32_t> number(N.n, -1);  // of each conductor row among them
  for (int32_t i = 0; i < N.n; ++i) {
    if (A.piece[i]) continue;
    number[i] = static_cast<int32_t>(M.conductor_at.size());
    M.conductor_at.push_back(i);
  }
  // The conductor block as a symmetric near field: its diagonal and the entries right of it.
  NearField block;
  block.n = static_cast<int32_t>(M.conductor_at.size());
  block.diagonal.resize(block.n);
  block.row_start.assign(block.n + 1, 0);
  for (int32_t k = 0; k < block.n; ++k) {
    const int32_t i = M.conductor_at[k];
    block.diagonal[k] = N.value[N.row_start[i]];  // each row's own column first
    for (int64_t e = N.row_start[i] + 1; e < N.row_start[i + 1]; ++e) {
      if (number[N.col[e]] > k) {
        block.col.push_back(number[N.col[e]]);
        block.value.push_back(N.value[e]);
      }
    }
    block.row_start[k + 1] = static_cast<int64_t>(block.col.size());
  }
  // Where the factor needs its diagonal raised by more than a fifth, the raise weakens it (on
  // lines24's first level, made at 0.8, it took 334 steps where the blocks take 136), but on a
  // fine level the blocks are weaker still (lines24's level 6: 116 products against stalling).
  M.factor = make_incomplete_factor(block, keep);  // a fifth first, then raised as it needs
  if (!M.factor.made || M.factor.shift > 0.2) {
    if (!M.factor.made) M.factor = IncompleteFactor{};
    M.blocks = make_leaf_blocks(block, leaf_ranges(tree, M.conductor_at), keep, kLeafBlockRows);
    M.use_blocks = true;
  }
  M.diagonal.assign(N.n, 0.0);
  for (int32_t i = 0; i < N.n; ++i) {
    if (!A.piece[i]) continue;
    const double own = N.value[N.row_start[i]];
    M.diagonal[i] = std::sqrt(A.area[i]) * (1.0 / A.area[i] + A.factor[i] * own);
  }
  return M;
}

void apply_block_preconditioner(const GeneralSystem& A, const BlockPreconditioner& M,
                                const Lanes<kNarrowLanes>* r, Lanes<kNarrowLanes>* z,
                                Lanes<kNarrowLanes>* work, int32_t threads) {
  const int32_t conductors = static_cast<int32_t>(M.conductor_at.size());
  Lanes<kNarrowLanes>* gathered = work;
  Lanes<kNarrowLanes>* solved = work + conductors;
  for (int32_t k = 0; k < conductors; ++k) gathered[k] = r[M.conductor_at[k]];
  if (M.use_blocks) {
    leaf_blocks_solve(M.blocks, gathered, solved, threads);
  } else {
    near_kernels(A.instruction_set).factor_solve(M.factor, gathered, solved);
  }
  for (int32_t i = 0; i < A.near.n; ++i) z[i] = Lanes<kNarrowLanes>{};
  for (int32_t k = 0; k < conductors; ++k) z[M.conductor_at[k]] = solved[k];
  // Each piece row after the conductor part: z_i = (r_i − Σ_conductors A_ij z_j) / A_ii.
  const NearRows& N = A.near;
  auto piece_rows = [&](int32_t first, int32_t end) {
    for (int32_t i = first; i < end; ++i) {
      if (!A.piece[i]) continue;
      double sum[kNarrowLanes] = {};
      for (int64_t e = N.row_start[i] + 1; e < N.row_start[i + 1]; ++e) {
        const int32_t j = N.col[e];
        if (A.piece[j]) continue;
        for (int32_t w = 0; w < kNarrowLanes; ++w) sum[w] += N.value[e] * z[j].lane[w];
      }
      const double scale = std::sqrt(A.area[i]) * A.factor[i];
      for (int32_t w = 0; w < kNarrowLanes; ++w)
        z[i].lane[w] = (r[i].lane[w] - scale * sum[w]) / M.diagonal[i];
    }
  };
  if (threads <= 1) {
    piece_rows(0, N.n);
    return;
  }
  parallel_for(threads, threads, [&](int64_t part, int32_t) {
    piece_rows(static_cast<int32_t>(N.n * part / threads),
               static_cast<int32_t>(N.n * (part + 1) / threads));
  });
}
