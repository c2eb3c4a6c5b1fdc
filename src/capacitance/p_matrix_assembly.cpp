// The P matrix from the interaction list. The result is that of accumulating every contribution
// with accumulate_symmetric in the order for_each_p_contribution gives, but each position's sum
// is formed on its own: the contributions are sorted by row, stably, so that each position still
// receives its values in their original order, and each row's sums are then formed in a dense
// working row instead of through a search for the entry at every contribution.

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <vector>

#include "capacitance/p_matrix_contributions.h"
#include "common/fatal.h"
#include "model/capacitance_extractor.h"
#include "sparse/sparse_matrix.h"

namespace {

/// Contributions held at once; a structure with more is assembled in several passes over the
/// interaction list, each for a range of rows (12 bytes a contribution).
constexpr int64_t kContributionBudget = int64_t{1} << 25;

/// One accumulation as accumulate_symmetric stores it: at (min, max), doubled where it asks.
struct Stored {
  int32_t row;
  int32_t col;
  double value;
};

inline Stored stored(int32_t i, int32_t j, double w, int32_t flag) {
  if (i == j && flag == 1) w = 2.0 * w;
  return Stored{std::min(i, j), std::max(i, j), w};
}

/// The sums of one row at a time, each position's contributions folded in their order exactly
/// as accumulating them into the row list does: the first creates the entry (with its value,
/// even 0.0), each later one is added, and a sum of exactly 0.0 removes the entry, so that the
/// next one creates it anew.
class RowSums {
 public:
  explicit RowSums(int32_t n)
      : value_(static_cast<std::size_t>(n), 0.0), state_(static_cast<std::size_t>(n), kUntouched) {}

  void add(int32_t col, double w) {
    uint8_t& state = state_[col];
    if (state == kUntouched) touched_.push_back(col);
    if (state != kPresent) {
      value_[col] = w;
      state = kPresent;
      return;
    }
    value_[col] += w;
    if (value_[col] == 0.0) state = kAbsent;
  }

  /// Pushes row `row`'s entries onto `matrix` so that the row list ends in ascending column
  /// order, and clears the working row.
  void emit(SparseMatrix& matrix, int32_t row) {
    std::sort(touched_.begin(), touched_.end());
    for (auto col = touched_.rbegin(); col != touched_.rend(); ++col) {
      if (state_[*col] == kPresent) matrix.push_entry(row, *col, value_[*col]);
      state_[*col] = kUntouched;
    }
    touched_.clear();
  }

 private:
  static constexpr uint8_t kUntouched = 0;  // no contribution in this row yet
  static constexpr uint8_t kPresent = 1;    // an entry holding value_
  static constexpr uint8_t kAbsent = 2;     // its sum cancelled to exactly 0.0
  std::vector<double> value_;               // the sum of each present position
  std::vector<uint8_t> state_;              // per column of the current row
  std::vector<int32_t> touched_;            // columns with a contribution in the current row
};

}  // namespace

void CapacitanceExtractor::assemble_p_matrix() {
  const int32_t n = unknown_count;
  p_matrix = std::make_unique<SparseMatrix>(n, n, SYMM);
  SparseMatrix& p = *p_matrix;

  std::vector<int64_t> row_count(static_cast<std::size_t>(n), 0);
  for_each_p_contribution(panels, interaction_list, [&](int32_t i, int32_t j, double w, int32_t f) {
    ++row_count[stored(i, j, w, f).row];
  });

  RowSums sums(n);
  std::vector<int64_t> offset(static_cast<std::size_t>(n) + 1);
  int32_t first = 0;
  while (first < n) {
    // Rows first .. last-1 in this pass; at least one, however many contributions it has.
    int32_t last = first;
    int64_t held = 0;
    do {
      held += row_count[last];
      ++last;
    } while (last < n && held + row_count[last] <= kContributionBudget);

    offset[first] = 0;
    for (int32_t r = first; r < last; ++r) offset[r + 1] = offset[r] + row_count[r];
    int32_t* cols =
        static_cast<int32_t*>(calloc_or_exit(static_cast<std::size_t>(held), sizeof(int32_t)));
    double* values =
        static_cast<double*>(calloc_or_exit(static_cast<std::size_t>(held), sizeof(double)));
    std::vector<int64_t> next(offset.begin() + first, offset.begin() + last);
    for_each_p_contribution(panels, interaction_list,
                            [&](int32_t i, int32_t j, double w, int32_t f) {
                              const Stored s = stored(i, j, w, f);
                              if (s.row < first || s.row >= last) return;
                              const int64_t k = next[s.row - first]++;
                              cols[k] = s.col;
                              values[k] = s.value;
                            });
    for (int32_t r = first; r < last; ++r) {
      for (int64_t k = offset[r]; k < offset[r + 1]; ++k) sums.add(cols[k], values[k]);
      sums.emit(p, r);
    }
    std::free(cols);
    std::free(values);
    first = last;
  }
  p.rebuild_links();
}
