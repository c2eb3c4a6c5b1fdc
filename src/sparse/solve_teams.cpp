#include "sparse/solve_teams.h"

#include <algorithm>
#include <chrono>

#include "sparse/team_sync.h"

namespace {

int64_t posting(int64_t serial, int32_t width, int32_t members) {
  return (serial << 16) + (int64_t{width} << 8) + members;
}

}  // namespace

TeamBoard::TeamBoard(int32_t groups, int32_t threads, int32_t largest_team)
    : largest_team_(std::max(1, std::min(largest_team, kLargestTeam))), threads_(threads) {
  for (int32_t g = 0; g < groups; ++g) teams_.push_back(std::make_unique<Team>());
}

int32_t TeamBoard::enter() {
  std::lock_guard<std::mutex> hold(lock_);
  if (owned_ == static_cast<int32_t>(teams_.size())) return -1;
  ++settled_;
  return owned_++;
}

void TeamBoard::run_step(int32_t g, int32_t width, double* rz, double* pq, double* rr) {
  Team& team = *teams_[g];
  const int32_t members = team.pace.choose(width, std::min(team.joined.load(), largest_team_));
  const auto start = std::chrono::steady_clock::now();
  team.step.members = members;
  if (members > 1) {
    team.posted.store(posting((team.posted.load() >> 16) + 1, width, members));
  }
  run_group_step(width, team.step, 0, rz, pq, rr);
  team.pace.record(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

int32_t TeamBoard::end(int32_t g) {
  Team& team = *teams_[g];
  std::lock_guard<std::mutex> hold(lock_);
  team.ended = true;
  team.posted.store(posting((team.posted.load() >> 16) + 1, 0, 0));
  return owned_ - ++ended_;
}

int32_t TeamBoard::group_to_join() const {
  int32_t best = -1;
  for (int32_t g = 0; g < owned_; ++g) {
    const Team& team = *teams_[g];
    if (team.ended || team.joined >= largest_team_) continue;
    if (best < 0 || team.joined < teams_[best]->joined) best = g;
  }
  return best;
}

void TeamBoard::wait_until_settled() {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  wait_until_ready(
      [&] { return settled_ >= threads_ || std::chrono::steady_clock::now() > give_up; });
}

void TeamBoard::help(bool from_start) {
  bool settled = !from_start;
  for (;;) {
    Team* team = nullptr;
    int32_t index = 0;
    int64_t seen = 0;
    {
      std::lock_guard<std::mutex> hold(lock_);
      const int32_t g = group_to_join();
      if (!settled) ++settled_;
      settled = true;
      if (g < 0) return;
      team = teams_[g].get();
      // What was posted before joining is not this helper's: a step counts it in only once
      // `joined` does, and that is read after `posted` here.
      seen = team->posted.load();
      index = team->joined.fetch_add(1);
    }
    for (;;) {
      wait_until_ready([&] { return team->posted.load() != seen; });
      seen = team->posted.load();
      if (team->ended) break;
      const int32_t members = static_cast<int32_t>(seen & 0xff);
      const int32_t width = static_cast<int32_t>((seen >> 8) & 0xff);
      if (index < members) run_group_step(width, team->step, index, nullptr, nullptr, nullptr);
    }
  }
}

int32_t TeamBoard::offer_lanes(int32_t g, int32_t busy, int32_t width) {
  std::lock_guard<std::mutex> hold(lock_);
  Team& giver = *teams_[g];
  if (giver.offer_from >= 0) return -1;  // it takes lanes first
  int32_t best = -1;
  for (int32_t r = 0; r < owned_; ++r) {
    const Team& team = *teams_[r];
    if (r == g || team.ended || team.offer_from >= 0 || team.offering_to >= 0) continue;
    const int32_t lanes = team.busy;
    if (lanes + busy > team.step.work->width || lanes < busy || (lanes == busy && r > g)) {
      continue;
    }
    if (best < 0 || lanes > teams_[best]->busy) best = r;
  }
  if (best < 0) return -1;
  teams_[best]->offer_from = g;
  giver.offering_to = best;
  giver.offered_width = width;
  return best;
}

Handover TeamBoard::handover(int32_t g) {
  std::lock_guard<std::mutex> hold(lock_);
  Team& giver = *teams_[g];
  Team& taker = *teams_[giver.offering_to];
  if (taker.offer_from != g) {
    giver.offering_to = -1;
    return Handover::taken;
  }
  if (!taker.ended) return Handover::waiting;
  taker.offer_from = -1;
  giver.offering_to = -1;
  return Handover::withdrawn;
}

int32_t TeamBoard::offered_to(int32_t g, int32_t& width) {
  std::lock_guard<std::mutex> hold(lock_);
  const int32_t giver = teams_[g]->offer_from;
  if (giver >= 0) width = teams_[giver]->offered_width;
  return giver;
}

void TeamBoard::take_offer(int32_t g) {
  std::lock_guard<std::mutex> hold(lock_);
  teams_[g]->offer_from = -1;
}
