#include "sparse/parked_solves.h"

#include <cstddef>
#include <cstdlib>

#include "common/fatal.h"

ParkedSolves::ParkedSolves(int32_t n, int32_t slots)
    : n_(n),
      values_(slots > 0 ? allocate_zeroed<double>(int64_t{3} * n * slots) : nullptr),
      state_(static_cast<std::size_t>(slots > 0 ? slots : 0)) {
  for (int32_t s = slots - 1; s >= 0; --s) free_.push_back(s);
  waiting_.reserve(static_cast<std::size_t>(slots > 0 ? slots : 0));
}

ParkedSolves::~ParkedSolves() { std::free(values_); }

int32_t ParkedSolves::reserve() {
  if (free_.empty()) return -1;
  const int32_t s = free_.back();
  free_.pop_back();
  return s;
}

void ParkedSolves::store(int32_t s, const LaneWorkspace& work, int32_t width, int32_t l) {
  double* x = values_ + int64_t{3} * n_ * s;
  double* r = x + n_;
  double* p = r + n_;
  for (int64_t i = 0; i < n_; ++i) {
    x[i] = work.xs[i * width + l];
    r[i] = work.rs[i * width + l];
    p[i] = work.ps[i * width + l];
  }
  state_[s] = work.lane[l];
}

void ParkedSolves::publish(int32_t s) { waiting_.push_back(s); }

int32_t ParkedSolves::take_longest(int32_t bound) {
  int32_t best = -1;
  for (int32_t w = 0; w < static_cast<int32_t>(waiting_.size()); ++w) {
    const LaneState& candidate = state_[waiting_[w]];
    if (candidate.rhs >= bound) continue;
    if (best >= 0) {
      const LaneState& leader = state_[waiting_[best]];
      if (candidate.least_residual < leader.least_residual) continue;
      if (candidate.least_residual == leader.least_residual && candidate.rhs > leader.rhs) continue;
    }
    best = w;
  }
  if (best < 0) return -1;
  const int32_t s = waiting_[best];
  waiting_.erase(waiting_.begin() + best);
  return s;
}

bool ParkedSolves::waiting_below(int32_t bound) const {
  for (int32_t s : waiting_) {
    if (state_[s].rhs < bound) return true;
  }
  return false;
}

void ParkedSolves::load(int32_t s, LaneWorkspace& work, int32_t width, int32_t l) const {
  const double* x = values_ + int64_t{3} * n_ * s;
  const double* r = x + n_;
  const double* p = r + n_;
  for (int64_t i = 0; i < n_; ++i) {
    work.xs[i * width + l] = x[i];
    work.rs[i * width + l] = r[i];
    work.ps[i * width + l] = p[i];
  }
  work.lane[l] = state_[s];
}

void ParkedSolves::release(int32_t s) { free_.push_back(s); }
