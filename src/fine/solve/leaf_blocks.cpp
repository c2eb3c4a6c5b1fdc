#include "fine/solve/leaf_blocks.h"

#include <algorithm>
#include <cmath>

#include "common/parallel_for.h"

namespace {

typedef Lanes<kNarrowLanes> L;

/// Every row's columns of a symmetric near matrix stored by its upper triangle, the diagonal
/// left out.
struct FullRows {
  std::vector<int64_t> start;  // n + 1 offsets
  std::vector<int32_t> col;    // the columns of each row
  std::vector<double> value;   // their coefficients
};

FullRows full_rows(const NearField& near) {
  FullRows full;
  const int32_t n = near.n;
  full.start.assign(n + 1, 0);
  for (int32_t i = 0; i < n; ++i) {
    full.start[i + 1] += near.row_start[i + 1] - near.row_start[i];
    for (int64_t e = near.row_start[i]; e < near.row_start[i + 1]; ++e)
      ++full.start[near.col[e] + 1];
  }
  for (int32_t i = 0; i < n; ++i) full.start[i + 1] += full.start[i];
  full.col.resize(full.start[n]);
  full.value.resize(full.start[n]);
  std::vector<int64_t> next(full.start.begin(), full.start.end() - 1);
  for (int32_t i = 0; i < n; ++i) {
    for (int64_t e = near.row_start[i]; e < near.row_start[i + 1]; ++e) {
      const int32_t j = near.col[e];
      full.col[next[i]] = j;
      full.value[next[i]++] = near.value[e];
      full.col[next[j]] = i;
      full.value[next[j]++] = near.value[e];
    }
  }
  return full;
}

/// Cholesky of the m × m lower triangle in `a` (row by row), in place; false at a pivot that is
/// not positive.
bool cholesky(double* a, int32_t m) {
  for (int32_t i = 0; i < m; ++i) {
    double* row_i = a + static_cast<int64_t>(i) * (i + 1) / 2;
    for (int32_t j = 0; j <= i; ++j) {
      const double* row_j = a + static_cast<int64_t>(j) * (j + 1) / 2;
      double s = row_i[j];
      for (int32_t k = 0; k < j; ++k) s -= row_i[k] * row_j[k];
      if (j < i) {
        row_i[j] = s / row_j[j];
      } else {
        if (!(s > 0.0)) return false;
        row_i[i] = std::sqrt(s);
      }
    }
  }
  return true;
}

/// The lower triangle of the block of `near` over `rows`, whose positions `at` marks.
void gather_block(const NearField& near, const FullRows& full, const std::vector<int32_t>& rows,
                  const std::vector<int32_t>& at, double* a) {
  const int32_t m = static_cast<int32_t>(rows.size());
  std::fill(a, a + static_cast<int64_t>(m) * (m + 1) / 2, 0.0);
  for (int32_t p = 0; p < m; ++p) {
    double* row = a + static_cast<int64_t>(p) * (p + 1) / 2;
    row[p] = near.diagonal[rows[p]];
    for (int64_t e = full.start[rows[p]]; e < full.start[rows[p] + 1]; ++e) {
      const int32_t q = at[full.col[e]];
      if (q >= 0 && q < p) row[q] = full.value[e];
    }
  }
}

}  // namespace

LeafBlocks make_leaf_blocks(const NearField& near,
                            const std::vector<std::pair<int32_t, int32_t>>& leaves, double keep,
                            int32_t most_rows) {
  LeafBlocks B;
  B.n = near.n;
  const FullRows full = full_rows(near);
  std::vector<double> strength(near.n, -1.0);
  std::vector<int32_t> at(near.n, -1), touched, rows;
  std::vector<char> mark(near.n, 0);
  std::vector<double> a;
  B.block_start.push_back(0);
  for (const auto& leaf : leaves) {
    // The neighbours' strengths: the largest squared coefficient of one with a leaf's row over
    // the product of their diagonal entries.
    rows.clear();
    for (int32_t i = leaf.first; i < leaf.first + leaf.second; ++i) rows.push_back(i);
    for (int32_t i : rows) at[i] = 0;
    for (int32_t i : rows) {
      for (int64_t e = full.start[i]; e < full.start[i + 1]; ++e) {
        const int32_t j = full.col[e];
        const double v = full.value[e];
        const double s = v * v / (near.diagonal[i] * near.diagonal[j]);
        if (at[j] >= 0 || !(s >= keep * keep)) continue;
        if (strength[j] < 0.0) touched.push_back(j);
        strength[j] = std::max(strength[j], s);
      }
    }
    std::sort(touched.begin(), touched.end(), [&](int32_t x, int32_t y) {
      return strength[x] != strength[y] ? strength[x] > strength[y] : x < y;
    });
    // A neighbour joins only where it is near every row already in: then every coefficient of
    // the block is known and the block is a principal block of the matrix, positive definite.
    for (int32_t j : touched) {
      strength[j] = -1.0;
      if (static_cast<int32_t>(rows.size()) >= most_rows) continue;
      for (int64_t e = full.start[j]; e < full.start[j + 1]; ++e) mark[full.col[e]] = 1;
      bool near_all = true;
      for (int32_t i : rows) near_all = near_all && mark[i];
      for (int64_t e = full.start[j]; e < full.start[j + 1]; ++e) mark[full.col[e]] = 0;
      if (near_all) rows.push_back(j);
    }
    touched.clear();
    std::sort(rows.begin() + leaf.second, rows.end());
    for (size_t p = 0; p < rows.size(); ++p) at[rows[p]] = static_cast<int32_t>(p);
    a.resize(rows.size() * (rows.size() + 1) / 2);
    gather_block(near, full, rows, at, a.data());
    if (!cholesky(a.data(), static_cast<int32_t>(rows.size()))) {
      // Rounding in a block near singular: the leaf alone, then (never seen) its diagonal.
      for (size_t p = leaf.second; p < rows.size(); ++p) at[rows[p]] = -1;
      rows.resize(leaf.second);
      a.resize(rows.size() * (rows.size() + 1) / 2);
      gather_block(near, full, rows, at, a.data());
      if (!cholesky(a.data(), static_cast<int32_t>(rows.size()))) {
        std::fill(a.begin(), a.end(), 0.0);
        for (size_t p = 0; p < rows.size(); ++p)
          a[p * (p + 1) / 2 + p] = std::sqrt(std::fabs(near.diagonal[rows[p]]));
      }
    }
    for (int32_t i : rows) at[i] = -1;
    B.owned.push_back(leaf.second);
    B.factor_start.push_back(static_cast<int64_t>(B.factor.size()));
    B.rows.insert(B.rows.end(), rows.begin(), rows.end());
    B.factor.insert(B.factor.end(), a.begin(), a.end());
    B.block_start.push_back(static_cast<int64_t>(B.rows.size()));
    B.largest = std::max(B.largest, static_cast<int32_t>(rows.size()));
  }
  return B;
}

namespace {

void solve_blocks(const LeafBlocks& B, const L* r, L* z, int32_t first, int32_t end) {
  std::vector<L> y(B.largest);
  for (int32_t b = first; b < end; ++b) {
    const int32_t* rows = B.rows.data() + B.block_start[b];
    const int32_t m = static_cast<int32_t>(B.block_start[b + 1] - B.block_start[b]);
    const double* f = B.factor.data() + B.factor_start[b];
    for (int32_t p = 0; p < m; ++p) y[p] = r[rows[p]];
    for (int32_t p = 0; p < m; ++p) {  // L y' = y
      const double* row = f + static_cast<int64_t>(p) * (p + 1) / 2;
      for (int32_t k = 0; k < p; ++k)
        for (int32_t w = 0; w < kNarrowLanes; ++w) y[p].lane[w] -= row[k] * y[k].lane[w];
      for (int32_t w = 0; w < kNarrowLanes; ++w) y[p].lane[w] /= row[p];
    }
    for (int32_t p = m - 1; p >= 0; --p) {  // Lᵀ x = y'
      for (int32_t k = p + 1; k < m; ++k) {
        const double l_kp = f[static_cast<int64_t>(k) * (k + 1) / 2 + p];
        for (int32_t w = 0; w < kNarrowLanes; ++w) y[p].lane[w] -= l_kp * y[k].lane[w];
      }
      for (int32_t w = 0; w < kNarrowLanes; ++w)
        y[p].lane[w] /= f[static_cast<int64_t>(p) * (p + 1) / 2 + p];
    }
    for (int32_t p = 0; p < B.owned[b]; ++p) z[rows[p]] = y[p];
  }
}

}  // namespace

void leaf_blocks_solve(const LeafBlocks& B, const L* r, L* z, int32_t threads) {
  const int32_t blocks = static_cast<int32_t>(B.owned.size());
  if (threads <= 1) {
    solve_blocks(B, r, z, 0, blocks);
    return;
  }
  parallel_for(threads, threads, [&](int64_t part, int32_t) {
    solve_blocks(B, r, z, static_cast<int32_t>(blocks * part / threads),
                 static_cast<int32_t>(blocks * (part + 1) / threads));
  });
}

std::vector<std::pair<int32_t, int32_t>> leaf_ranges(const ClusterTree& tree,
                                                     const std::vector<int32_t>& rows_at) {
  std::vector<std::pair<int32_t, int32_t>> ranges;
  for (int32_t leaf : leaf_nodes(tree)) {
    const ClusterNode& node = tree.nodes[leaf];
    const auto begin = std::lower_bound(rows_at.begin(), rows_at.end(), node.first);
    const auto end = std::lower_bound(begin, rows_at.end(), node.first + node.count);
    if (end > begin)
      ranges.emplace_back(static_cast<int32_t>(begin - rows_at.begin()),
                          static_cast<int32_t>(end - begin));
  }
  return ranges;
}
