#include "sparse/split_plan.h"

#include <algorithm>
#include <cstddef>

namespace {

// Row bounds that cut rows 0 .. n-1 into `members` ranges of about equal weight, weight[r] being
// row r's.
std::vector<int32_t> balanced_bounds(const std::vector<int64_t>& weight, int32_t members) {
  const int32_t n = static_cast<int32_t>(weight.size());
  int64_t total = 0;
  for (int64_t w : weight) total += w;
  std::vector<int32_t> bounds(static_cast<std::size_t>(members) + 1, n);
  bounds[0] = 0;
  int64_t sum = 0;
  int32_t m = 1;
  for (int32_t r = 0; r < n && m < members; ++r) {
    // Row r starts range m once the rows before it carry m shares of the weight.
    while (m < members && sum * members >= total * m) bounds[m++] = r;
    sum += weight[r];
  }
  return bounds;
}

// The terms of each row's sum in the product: its diagonal, its own entries and their mirrors
// in the rows above.
std::vector<int64_t> product_terms(const CompactSymmetric& P) {
  std::vector<int64_t> terms(static_cast<std::size_t>(P.n), 0);
  for (int32_t j = 0; j < P.n; ++j) {
    terms[j] += P.has_diagonal[j] + (P.row_start[j + 1] - P.row_start[j]);
    for (int64_t k = P.row_start[j]; k < P.row_start[j + 1]; ++k) ++terms[P.col[k]];
  }
  return terms;
}

// The terms a(j, r)·x(j) that rows first .. end-1 take from the rows j < first: segment
// r - first lists those of row r, j ascending.
std::unique_ptr<BlockedSums> cross_terms(const CompactSymmetric& P, int32_t first, int32_t end) {
  std::vector<int64_t> start(static_cast<std::size_t>(end - first) + 1, 0);
  auto in_range = [&](int32_t j, int64_t& from, int64_t& to) {
    const int32_t* row = P.col + P.row_start[j];
    const int32_t* row_end = P.col + P.row_start[j + 1];
    from = std::lower_bound(row, row_end, first) - P.col;
    to = std::lower_bound(row, row_end, end) - P.col;
  };
  int64_t from = 0;
  int64_t to = 0;
  for (int32_t j = 0; j < first; ++j) {
    in_range(j, from, to);
    for (int64_t k = from; k < to; ++k) ++start[P.col[k] - first + 1];
  }
  for (int32_t r = first; r < end; ++r) start[r - first + 1] += start[r - first];
  auto cross = std::make_unique<BlockedSums>(end - first, start[end - first]);
  for (int32_t r = first; r <= end; ++r) cross->segment_start[r - first] = start[r - first];
  for (int32_t r = first; r < end; ++r) cross->segment_row[r - first] = r;
  for (int32_t j = 0; j < first; ++j) {
    in_range(j, from, to);
    for (int64_t k = from; k < to; ++k) {
      const int64_t t = start[P.col[k] - first]++;
      cross->col[t] = j;
      cross->value[t] = P.value[k];
    }
  }
  return cross;
}

TeamPlan plan_team(const CompactSymmetric& P, const std::vector<int64_t>& row_terms,
                   int32_t members) {
  const int32_t n = P.n;
  TeamPlan plan;
  plan.members = members;
  plan.element_bounds.resize(static_cast<std::size_t>(members) + 1);
  for (int32_t m = 0; m <= members; ++m) {
    plan.element_bounds[m] = static_cast<int32_t>(int64_t{n} * m / members);
  }
  const std::vector<int32_t> bounds = balanced_bounds(row_terms, members);
  plan.shares.resize(static_cast<std::size_t>(members));
  for (int32_t m = 0; m < members; ++m) {
    plan.product_cross.push_back(cross_terms(P, bounds[m], bounds[m + 1]));
    SplitShare& share = plan.shares[m];
    share.member = m;
    share.product_first_row = bounds[m];
    share.product_end_row = bounds[m + 1];
    share.product_cross = plan.product_cross[m].get();
  }
  return plan;
}

}  // namespace

SplitPlans::SplitPlans(const CompactSymmetric& P, int32_t largest)
    : largest_team(std::min(largest, kLargestTeam)) {
  const std::vector<int64_t> row_terms = product_terms(P);
  for (int32_t members = 2; members <= largest_team; ++members) {
    plans[members] = plan_team(P, row_terms, members);
  }
}
