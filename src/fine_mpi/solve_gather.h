#pragma once

#include <cstdint>
#include <vector>

/// The owner of solve group g among `ranks`: groups go round, so that every rank gets about as
/// many and each group is solved whole by one rank.
inline int32_t group_owner(int64_t g, int32_t ranks) { return static_cast<int32_t>(g % ranks); }

/// Every rank of MPI_COMM_WORLD calls this at once, after solving its own groups: each group's
/// columns of `solution` and `product` (per panel and conductor, groups of `group_width`
/// conductors) are copied from its owner to every other rank, bit for bit; `iterations` is
/// summed and `converged` holds for all when it holds for each.
void gather_solves(std::vector<double>& solution, std::vector<double>& product, int32_t conductors,
                   int32_t group_width, int64_t& iterations, bool& converged);
