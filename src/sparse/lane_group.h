#pragma once

#include <cstdint>

#include "sparse/lane_workspace.h"
#include "sparse/solve_queue.h"
#include "sparse/solve_teams.h"

/// The lane group of one thread of pcg_solve_lanes, from its first step to its end. Each lane is
/// one solve, stepping exactly as pcg_solve does; a lane whose solve ends takes the next one from
/// the queue at once. The group is as wide as its workspace while the queue lasts; once no solve is
/// left to start it narrows as its solves end, so that the last long solves step in a group no
/// wider than they need, and it hands its lanes over to another group that has room for them.
class LaneGroup {
 public:
  /// Group g of `board`, taking its solves from `queue`; it hands its lanes over to another
  /// group only `if hands_over`.
  LaneGroup(TeamBoard& board, int32_t g, SolveQueue& queue, double tolerance, bool hands_over);

  /// Runs the group until no solve is left for it, or until it has handed its solves over.
  void run();

 private:
  /// The value of unknown i in lane l of vector v.
  double& at(double* v, int64_t i, int32_t l) const { return v[i * width_ + l]; }
  /// Starts the next solve in lane l, or leaves it idle.
  void start(int32_t l);
  /// Sets lane l's solve aside after its first steps, if right-hand sides wait to start.
  void set_aside(int32_t l);
  /// Hands the solution of lane l to the queue (iterations -1: it gave up) and starts another.
  void finish(int32_t l, int32_t iterations);
  /// One step of every lane, and what follows for each solve.
  void step();
  /// Takes in the lanes that another group hands over, widening the group as they need.
  void take_offered_lanes();
  /// Hands the busy lanes over to another group that has room for them; true when they are
  /// gone and the group ends.
  bool hand_over(int32_t busy);

  TeamBoard& board_;         // the groups and their teams
  int32_t g_;                // this group
  SolveQueue& queue_;        // the solves to start
  double tolerance_;         // the residual norm a solve ends below
  LaneWorkspace& work_;      // its vectors and lanes
  int32_t width_;            // lanes of the group as it runs now
  int64_t iteration_limit_;  // steps after which a solve gives up
  bool hands_over_;          // it may hand its lanes over to another group
};
