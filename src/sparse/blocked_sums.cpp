#include "sparse/blocked_sums.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <vector>

#include "common/fatal.h"

namespace {

// Every term of every sum, grouped by the row whose sum receives it, each row's terms in the order
// of the walk. `walk(emit)` calls emit(row, column, value) for every term in the order the
// original code adds them; it runs twice.
struct TermsByRow {
  std::vector<int64_t> start;  // n + 1 offsets of each row's terms
  std::vector<int32_t> col;    // source column of each term
  std::vector<double> value;   // its coefficient

  template <typename Walk>
  TermsByRow(int32_t n, const Walk& walk) : start(static_cast<std::size_t>(n) + 1, 0) {
    walk([&](int32_t row, int32_t, double) { ++start[row + 1]; });
    for (int32_t r = 0; r < n; ++r) start[r + 1] += start[r];
    col.resize(static_cast<std::size_t>(start[n]));
    value.resize(static_cast<std::size_t>(start[n]));
    std::vector<int64_t> next(start.begin(), start.end() - 1);
    walk([&](int32_t row, int32_t c, double v) {
      const int64_t k = next[row]++;
      col[k] = c;
      value[k] = v;
    });
  }

  // Every row receives its terms in ascending blocks of `block_columns`.
  bool ascending_blocks(int32_t block_columns) const {
    for (std::size_t r = 0; r + 1 < start.size(); ++r) {
      for (int64_t k = start[r] + 1; k < start[r + 1]; ++k) {
        if (col[k] / block_columns < col[k - 1] / block_columns) return false;
      }
    }
    return true;
  }
};

// Lays the terms out by (block, row): a segment for each run of a row's terms in one block.
std::unique_ptr<BlockedSums> lay_out_blocks(const TermsByRow& terms, int32_t n,
                                            int32_t block_columns) {
  const int64_t blocks = n > 0 ? (int64_t{n} + block_columns - 1) / block_columns : 1;
  std::vector<int64_t> block_terms(blocks + 1, 0), block_segments(blocks + 1, 0);
  for (int32_t r = 0; r < n; ++r) {
    for (int64_t k = terms.start[r]; k < terms.start[r + 1]; ++k) {
      const int64_t b = terms.col[k] / block_columns;
      ++block_terms[b + 1];
      if (k == terms.start[r] || terms.col[k - 1] / block_columns != b) ++block_segments[b + 1];
    }
  }
  for (int64_t b = 0; b < blocks; ++b) {
    block_terms[b + 1] += block_terms[b];
    block_segments[b + 1] += block_segments[b];
  }
  auto sums = std::make_unique<BlockedSums>(block_segments[blocks], block_terms[blocks]);
  std::vector<int64_t> term_at(block_terms.begin(), block_terms.end() - 1);
  std::vector<int64_t> segment_at(block_segments.begin(), block_segments.end() - 1);
  // Rows ascending, so that each block's segments come out by ascending row.
  for (int32_t r = 0; r < n; ++r) {
    for (int64_t k = terms.start[r]; k < terms.start[r + 1]; ++k) {
      const int64_t b = terms.col[k] / block_columns;
      if (k == terms.start[r] || terms.col[k - 1] / block_columns != b) {
        const int64_t s = segment_at[b]++;
        sums->segment_row[s] = r;
        sums->segment_start[s] = term_at[b];
      }
      const int64_t t = term_at[b]++;
      sums->col[t] = terms.col[k];
      sums->value[t] = terms.value[k];
    }
  }
  sums->segment_start[sums->segment_count] = block_terms[blocks];
  return sums;
}

}  // namespace

BlockedSums::BlockedSums(int64_t segments, int64_t terms)
    : segment_count(segments),
      segment_row(allocate_zeroed<int32_t>(segments)),
      segment_start(allocate_zeroed<int64_t>(segments + 1)),
      col(allocate_zeroed<int32_t>(terms)),
      value(allocate_zeroed<double>(terms)) {}

BlockedSums::~BlockedSums() {
  std::free(segment_row);
  std::free(segment_start);
  std::free(col);
  std::free(value);
}

std::unique_ptr<BlockedSums> blocked_product(const CompactSymmetric& P, int32_t block_columns) {
  // The walk of the product: row j's leading diagonal, then each stored a(j, m) to y(j) and to
  // its mirror y(m).
  const TermsByRow terms(P.n, [&P](const auto& emit) {
    for (int32_t j = 0; j < P.n; ++j) {
      if (P.has_diagonal[j]) emit(j, j, P.diagonal[j]);
      for (int64_t k = P.row_start[j]; k < P.row_start[j + 1]; ++k) {
        emit(j, P.col[k], P.value[k]);
        emit(P.col[k], j, P.value[k]);
      }
    }
  });
  const int32_t width = std::max(block_columns, 1);
  return lay_out_blocks(terms, P.n, terms.ascending_blocks(width) ? width : std::max(P.n, 1));
}

std::unique_ptr<BlockedSums> blocked_forward(const CompactFactor& F, int32_t block_columns) {
  // Row j of U, once z(j) is final, to every z(c) of the row: each z(c) in ascending j.
  const TermsByRow terms(F.n, [&F](const auto& emit) {
    for (int32_t j = 0; j < F.n; ++j) {
      for (int64_t k = F.row_start[j]; k < F.row_start[j + 1]; ++k) {
        emit(F.row_col[k], j, F.row_value[k]);
      }
    }
  });
  return lay_out_blocks(terms, F.n, std::max(block_columns, 1));
}

int32_t cache_block_columns(int32_t n, int32_t lanes, int64_t cache_bytes) {
  const int64_t cache = cache_bytes > 0 ? cache_bytes : kAssumedCacheBytes;
  const int64_t lane_bytes = int64_t{lanes} * static_cast<int64_t>(sizeof(double));
  if (int64_t{n} * lane_bytes <= cache / 2) return std::max(n, 1);
  return static_cast<int32_t>(std::max<int64_t>(cache / 2 / lane_bytes, 64));
}

int64_t second_level_cache_bytes() {
#ifdef _SC_LEVEL2_CACHE_SIZE
  const long bytes = sysconf(_SC_LEVEL2_CACHE_SIZE);
  return bytes > 0 ? bytes : 0;
#else
  return 0;
#endif
}
