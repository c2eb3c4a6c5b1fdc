#include "fine/media/tolerance_split.h"

#include <cstddef>

namespace {

// The best choice so far, and the fits worth choosing: those with a smaller bound than every
// fit of fewer terms of the same function.
struct Search {
  const std::vector<std::vector<ExponentialSum>>& sums;  // the fits of each function
  const std::vector<int32_t>& multiplicity;              // images per term of each function
  std::vector<std::vector<int32_t>> useful;              // indices worth choosing, per function
  std::vector<int32_t> choice;                           // the choice being built
  std::vector<int32_t> best;                             // the best complete choice, or empty
  int64_t best_terms = 0;                                // its images
  double best_error = 0.0;                               // its weighted sum of bounds
};

void search(Search* s, size_t f, int64_t terms, double error, double budget) {
  if (error > budget) return;
  if (!s->best.empty() && terms > s->best_terms) return;
  if (f == s->sums.size()) {
    if (s->best.empty() || terms < s->best_terms ||
        (terms == s->best_terms && error < s->best_error)) {
      s->best = s->choice;
      s->best_terms = terms;
      s->best_error = error;
    }
    return;
  }
  for (int32_t n : s->useful[f]) {
    s->choice[f] = n;
    const int32_t m = s->multiplicity[f];
    search(s, f + 1, terms + static_cast<int64_t>(m) * n, error + m * s->sums[f][n].bound, budget);
  }
}

}  // namespace

std::vector<int32_t> cheapest_split(const std::vector<std::vector<ExponentialSum>>& sums,
                                    const std::vector<int32_t>& multiplicity, double budget) {
  Search s = {sums, multiplicity, {}, std::vector<int32_t>(sums.size(), 0), {}, 0, 0.0};
  std::vector<int32_t> smallest(sums.size(), 0);
  for (size_t f = 0; f < sums.size(); ++f) {
    s.useful.emplace_back();
    for (size_t n = 0; n < sums[f].size(); ++n) {
      if (n > 0 && !(sums[f][n].bound < sums[f][smallest[f]].bound)) continue;
      s.useful[f].push_back(static_cast<int32_t>(n));
      smallest[f] = static_cast<int32_t>(n);
    }
  }
  search(&s, 0, 0, 0.0, budget);
  return s.best.empty() ? smallest : s.best;
}
