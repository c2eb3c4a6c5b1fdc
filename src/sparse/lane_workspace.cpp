#include "sparse/lane_workspace.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "common/fatal.h"

namespace {

// Zero-filled storage for n unknowns of a group of `width` lanes, aligned to whole registers of
// every path.
double* allocate_group_vector(int32_t n, int32_t width) {
  const std::size_t used =
      static_cast<std::size_t>(n > 0 ? n : 1) * static_cast<std::size_t>(width) * sizeof(double);
  const std::size_t bytes = (used + 63) / 64 * 64;  // aligned_alloc takes whole alignments
  void* storage = std::aligned_alloc(64, bytes);
  if (storage == nullptr) fail_and_exit("Not enough memory!!\n");
  std::memset(storage, 0, bytes);
  return static_cast<double*>(storage);
}

}  // namespace

LaneState fresh_lane(int32_t rhs) {
  return LaneState{rhs, 0, true, 0.0, std::numeric_limits<double>::infinity()};
}

LaneWorkspace::LaneWorkspace(int32_t unknowns, int32_t lanes)
    : n(unknowns),
      width(lanes),
      xs(allocate_group_vector(unknowns, lanes)),
      rs(allocate_group_vector(unknowns, lanes)),
      zs(allocate_group_vector(unknowns, lanes)),
      ps(allocate_group_vector(unknowns, lanes)),
      qs(allocate_group_vector(unknowns, lanes)),
      vector(static_cast<double*>(
          calloc_or_exit(static_cast<std::size_t>(unknowns), sizeof(double)))) {}

LaneWorkspace::~LaneWorkspace() {
  std::free(xs);
  std::free(rs);
  std::free(zs);
  std::free(ps);
  std::free(qs);
  std::free(vector);
}

void narrow_group(LaneWorkspace& work, int32_t from, int32_t to) {
  int32_t source[kWideLanes];
  int32_t busy = 0;
  for (int32_t l = 0; l < from; ++l) {
    if (work.lane[l].rhs >= 0) source[busy++] = l;
  }
  for (double* v : {work.xs, work.rs, work.ps}) {
    // Unknown i moves from offset i·from to i·to, never past values still to be read.
    for (int64_t i = 0; i < work.n; ++i) {
      double values[kWideLanes] = {};
      for (int32_t b = 0; b < busy; ++b) values[b] = v[i * from + source[b]];
      std::memcpy(v + i * to, values, static_cast<std::size_t>(to) * sizeof(double));
    }
  }
  for (int32_t b = 0; b < busy; ++b) work.lane[b] = work.lane[source[b]];
  for (int32_t l = busy; l < to; ++l) work.lane[l] = fresh_lane(-1);
}

void widen_group(LaneWorkspace& work, int32_t from, int32_t to) {
  for (double* v : {work.xs, work.rs, work.ps}) {
    // Unknown i moves from offset i·from to i·to, from the last one down, so that no value is
    // written over before it has moved.
    for (int64_t i = work.n - 1; i >= 0; --i) {
      double values[kWideLanes] = {};
      std::memcpy(values, v + i * from, static_cast<std::size_t>(from) * sizeof(double));
      std::memcpy(v + i * to, values, static_cast<std::size_t>(to) * sizeof(double));
    }
  }
  for (int32_t l = from; l < to; ++l) work.lane[l] = fresh_lane(-1);
}

void move_lane(const LaneWorkspace& from, int32_t from_width, int32_t from_lane, LaneWorkspace& to,
               int32_t to_width, int32_t to_lane) {
  for (int64_t i = 0; i < from.n; ++i) {
    to.xs[i * to_width + to_lane] = from.xs[i * from_width + from_lane];
    to.rs[i * to_width + to_lane] = from.rs[i * from_width + from_lane];
    to.ps[i * to_width + to_lane] = from.ps[i * from_width + from_lane];
  }
  to.lane[to_lane] = from.lane[from_lane];
}
