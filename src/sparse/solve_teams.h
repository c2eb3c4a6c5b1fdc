#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "sparse/group_step.h"
#include "sparse/sharing_pace.h"

// The threads of pcg_solve_lanes and the lane groups they run. The first threads to start own a
// group each; a thread without a group of its own (once its group has ended, or from the start
// when there are fewer groups than threads) joins the running group with the fewest threads and
// helps with its steps until that group ends, then looks for another.

/// The owner of a group and the helpers that have joined it.
struct Team {
  std::atomic<int32_t> joined{1};  // threads that have joined, the owner included
  std::atomic<int64_t> posted{0};  // (steps posted << 16) + (width << 8) + members of the last
  std::atomic<bool> ended{false};  // the group has ended: its helpers leave
  GroupStep step;                  // the step the owner posts
  SharingPace pace;                // whether the owner shares its next step; its own alone
};

class TeamBoard {
 public:
  /// A board for `groups` groups whose teams grow to `largest_team` threads at the most (1: no
  /// thread ever helps another).
  TeamBoard(int32_t groups, int32_t largest_team);
  TeamBoard(const TeamBoard&) = delete;
  TeamBoard& operator=(const TeamBoard&) = delete;

  /// Called once by each thread as it starts: the group it owns, or -1 when every group has
  /// an owner already. Its team is open to helpers from then on.
  int32_t enter();
  /// The team of group g, whose `step` its owner sets up before it runs any.
  Team& team(int32_t g) { return *teams_[g]; }
  /// Runs a step of group g, as its owner, with the helpers that have joined it where sharing
  /// the step pays (SharingPace); the owner receives each lane's r·z, p·q and new r·r
  /// (run_group_step).
  void run_step(int32_t g, int32_t width, double* rz, double* pq, double* rr);
  /// Called by the owner of group g, between steps, when the group has ended; returns the groups
  /// still running.
  int32_t end(int32_t g);
  /// Helps the running groups, one after another, until none is left to join.
  void help();

 private:
  /// The running group with the fewest threads and room for one more, or -1; under lock_.
  int32_t group_to_join() const;

  std::mutex lock_;                           // guards owned_ and the choice of groups to join
  std::vector<std::unique_ptr<Team>> teams_;  // one per group
  int32_t owned_ = 0;                         // groups whose owner has entered
  int32_t ended_ = 0;                         // groups that have ended
  int32_t largest_team_;                      // threads of a team at the most
};
