#include "fine/solve/single_near.h"

#include "common/vector_bytes.h"

namespace {

/// Whether entry e of `near` starts a run of its row.
bool starts_run(const NearField& near, int32_t row, int64_t e) {
  return e == near.row_start[row] || near.col[e] != near.col[e - 1] + 1;
}

}  // namespace

SingleNear make_single_near(const NearField& near) {
  SingleNear single;
  single.n = near.n;
  single.diagonal = near.diagonal;
  single.row_start = near.row_start;
  // Counted first and then filled, each array allocated once at its size: arrays grown step
  // by step leave the allocator's mapping threshold raised, and the level's later arrays then
  // come from its heap instead of fresh mappings.
  single.run_start.assign(static_cast<size_t>(near.n) + 1, 0);
  for (int32_t i = 0; i < near.n; ++i) {
    int32_t runs = 0;
    for (int64_t e = near.row_start[i]; e < near.row_start[i + 1]; ++e)
      runs += starts_run(near, i, e) ? 1 : 0;
    single.run_start[i + 1] = single.run_start[i] + runs;
  }
  single.run_first.resize(single.run_start[near.n]);
  single.run_length.resize(single.run_start[near.n]);
  for (int32_t i = 0; i < near.n; ++i) {
    int32_t run = single.run_start[i] - 1;
    for (int64_t e = near.row_start[i]; e < near.row_start[i + 1]; ++e) {
      if (starts_run(near, i, e)) {
        ++run;
        single.run_first[run] = near.col[e];
        single.run_length[run] = 0;
      }
      single.run_length[run] += 1;
    }
  }
  const int64_t entries = near.row_start[near.n];
  resize_first_touch(single.value, entries);
  for (int64_t e = 0; e < entries; ++e) single.value[e] = static_cast<float>(near.value[e]);
  return single;
}

int64_t single_near_bytes(const SingleNear& single) {
  return vectors_bytes(single.diagonal, single.row_start, single.run_start, single.run_first,
                       single.run_length, single.value);
}
