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
// helps with its steps until that group ends, then looks for another. Once no solve is left to
// start, a group whose busy lanes fit into another group's idle ones hands them over and ends,
// so that the last solves step in as few groups as there need be, each with more threads.

/// The owner of a group and the helpers that have joined it.
struct Team {
  std::atomic<int32_t> joined{1};  // threads that have joined, the owner included
  std::atomic<int64_t> posted{0};  // (steps posted << 16) + (width << 8) + members of the last
  std::atomic<bool> ended{false};  // the group has ended: its helpers leave
  GroupStep step;                  // the step the owner posts
  SharingPace pace;                // whether the owner shares its next step; its own alone
  std::atomic<int32_t> busy{0};    // busy lanes as its owner last counted them
  // Guarded by the board's lock:
  int32_t offer_from = -1;    // the group handing its lanes over to this one, -1 for none
  int32_t offering_to = -1;   // the group this one hands its lanes over to, -1 for none
  int32_t offered_width = 0;  // lanes of this group while it hands them over
};

/// Where a group's offer of its lanes stands.
enum class Handover { waiting, taken, withdrawn };

class TeamBoard {
 public:
  /// A board for `groups` groups run by `threads` threads, whose teams grow to `largest_team`
  /// threads at the most (1: no thread ever helps another).
  TeamBoard(int32_t groups, int32_t threads, int32_t largest_team);
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
  /// Helps the running groups, one after another, until none is left to join; `from_start` for a
  /// thread that never owned a group.
  void help(bool from_start);
  /// Waits, for at most a second, until every thread has entered and every thread without a
  /// group has joined one, so that tests can have every step shared from the first.
  void wait_until_settled();

  /// Offers the `busy` lanes of group g (of `width` lanes) to the running group with the most
  /// busy lanes that has room for them and no fewer than g (ties to the lower group); returns
  /// that group, or -1.
  int32_t offer_lanes(int32_t g, int32_t busy, int32_t width);
  /// Where group g's offer stands: its lanes are taken, or withdrawn as the group offered them
  /// has ended.
  Handover handover(int32_t g);
  /// The group that offers its lanes to group g and the width of its group, or -1.
  int32_t offered_to(int32_t g, int32_t& width);
  /// Group g has taken the lanes offered to it.
  void take_offer(int32_t g);

 private:
  /// The running group with the fewest threads and room for one more, or -1; under lock_.
  int32_t group_to_join() const;

  std::mutex lock_;                           // guards the groups' states and the offers
  std::vector<std::unique_ptr<Team>> teams_;  // one per group
  int32_t owned_ = 0;                         // groups whose owner has entered
  int32_t ended_ = 0;                         // groups that have ended
  int32_t largest_team_;                      // threads of a team at the most
  int32_t threads_;                           // threads that run the groups
  std::atomic<int32_t> settled_{0};  // threads that own a group or have joined one, or left
};
