#pragma once

#include <cstdint>

#include "sparse/lane_kernels.h"

// The vectors and the per-lane state of one thread's lane group between its steps.

/// The state of one lane's solve between steps.
struct LaneState {
  int32_t rhs;            // right-hand side being solved, -1 when the lane is idle
  int32_t iterations;     // steps done for it
  bool first_step;        // the next step is the solve's first: p = z, no β
  double rho;             // r·z of the previous step
  double least_residual;  // the least residual norm of its steps so far, +inf before the first
};

/// The state of a lane that starts a solve (rhs) or has none (-1).
LaneState fresh_lane(int32_t rhs);

/// The vectors of one worker, sized for its widest group; a narrower group reuses them. They are
/// allocated before any worker thread starts, so that an allocation failure ends the run from the
/// main thread alone.
struct LaneWorkspace {
  LaneWorkspace(int32_t n, int32_t width);
  LaneWorkspace(const LaneWorkspace&) = delete;
  LaneWorkspace& operator=(const LaneWorkspace&) = delete;
  ~LaneWorkspace();

  int32_t n;                   // unknowns
  int32_t width;               // lanes of the widest group the vectors hold
  double* xs;                  // solutions
  double* rs;                  // residuals
  double* zs;                  // preconditioned residuals
  double* ps;                  // search directions
  double* qs;                  // P times the search directions
  double* vector;              // one lane's right-hand side or solution, handed to the callbacks
  LaneState lane[kWideLanes];  // the solve of each lane
};

/// Moves the busy lanes of a group of `from` lanes into the first lanes of a group of `to` lanes,
/// in place: the values a solve carries from one step to the next are x, r and p (z and q are
/// recomputed from them), and its LaneState.
void narrow_group(LaneWorkspace& work, int32_t from, int32_t to);

/// Spreads a group of `from` lanes out to `to` lanes (up to the workspace's width), in place:
/// lane l stays lane l, and the lanes from `from` on are idle.
void widen_group(LaneWorkspace& work, int32_t from, int32_t to);

/// Copies lane `from_lane` of the group of `from_width` lanes in `from` into lane `to_lane` of
/// the group of `to_width` lanes in `to`: x, r, p and the LaneState, what a solve carries from
/// one step to the next.
void move_lane(const LaneWorkspace& from, int32_t from_width, int32_t from_lane, LaneWorkspace& to,
               int32_t to_width, int32_t to_lane);
