#include "sparse/row_schedule.h"

#include <algorithm>
#include <cstddef>
#include <queue>
#include <utility>

namespace {

// A row costs this much besides its terms (its pivot, its loads and stores, its counter), in
// terms, as the simulation counts them.
constexpr int64_t kRowCost = 4;

// The rows in the order that the whole-group kernels take them: every row after its inputs.
int32_t natural_row(int32_t position, int32_t n, bool ascending) {
  return ascending ? position : n - 1 - position;
}

int64_t row_cost(RowLinks inputs, int32_t i) {
  return kRowCost + (inputs.start[i + 1] - inputs.start[i]);
}

// The longest chain of work from each row on: its cost and that of the longest chain among its
// readers, who all come after it in natural order.
std::vector<int64_t> chain_lengths(int32_t n, RowLinks inputs, RowLinks readers, bool ascending) {
  std::vector<int64_t> chain(static_cast<std::size_t>(n), 0);
  for (int32_t position = n - 1; position >= 0; --position) {
    const int32_t i = natural_row(position, n, ascending);
    int64_t longest = 0;
    for (int64_t k = readers.start[i]; k < readers.start[i + 1]; ++k) {
      longest = std::max(longest, chain[readers.index[k]]);
    }
    chain[i] = row_cost(inputs, i) + longest;
  }
  return chain;
}

// Which member takes each row, in which order, as the simulation finds it.
struct Assignment {
  std::vector<int32_t> member;                  // the member of each row
  std::vector<int32_t> position;                // its place in that member's list
  std::vector<std::vector<int32_t>> by_member;  // each member's rows in order
};

Assignment simulate(int32_t n, RowLinks inputs, RowLinks readers, bool ascending, int32_t members) {
  const std::vector<int64_t> chain = chain_lengths(n, inputs, readers, ascending);
  auto rank = [&](int32_t i) { return ascending ? i : n - 1 - i; };
  // Ready rows, longest chain first, then in natural order; running rows by their end, then by
  // natural order, so that every tie is decided the same way on every machine.
  auto later_start = [&](int32_t a, int32_t b) {
    return chain[a] != chain[b] ? chain[a] < chain[b] : rank(a) > rank(b);
  };
  std::priority_queue<int32_t, std::vector<int32_t>, decltype(later_start)> ready(later_start);
  using Running = std::pair<int64_t, int32_t>;  // end time, natural rank of the row
  std::priority_queue<Running, std::vector<Running>, std::greater<Running>> running;

  Assignment result;
  result.member.assign(static_cast<std::size_t>(n), 0);
  result.position.assign(static_cast<std::size_t>(n), 0);
  result.by_member.assign(static_cast<std::size_t>(members), {});
  std::vector<int64_t> pending(static_cast<std::size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    pending[i] = inputs.start[i + 1] - inputs.start[i];
    if (pending[i] == 0) ready.push(i);
  }
  std::vector<bool> busy(static_cast<std::size_t>(members), false);
  int32_t free_members = members;
  int64_t now = 0;
  for (int32_t finished = 0; finished < n; ++finished) {
    while (free_members > 0 && !ready.empty()) {
      const int32_t i = ready.top();
      ready.pop();
      const int32_t m =
          static_cast<int32_t>(std::find(busy.begin(), busy.end(), false) - busy.begin());
      busy[m] = true;
      --free_members;
      result.member[i] = m;
      result.position[i] = static_cast<int32_t>(result.by_member[m].size());
      result.by_member[m].push_back(i);
      running.push({now + row_cost(inputs, i), rank(i)});
    }
    const Running next = running.top();
    running.pop();
    now = next.first;
    const int32_t i = natural_row(next.second, n, ascending);
    busy[result.member[i]] = false;
    ++free_members;
    for (int64_t k = readers.start[i]; k < readers.start[i + 1]; ++k) {
      if (--pending[readers.index[k]] == 0) ready.push(readers.index[k]);
    }
  }
  return result;
}

}  // namespace

RowOrder MemberRows::order() const {
  RowOrder order;
  order.count = static_cast<int32_t>(rows.size());
  order.rows = rows.data();
  order.wait_start = wait_start.data();
  order.wait_member = wait_member.data();
  order.wait_count = wait_count.data();
  return order;
}

std::vector<MemberRows> schedule_rows(int32_t n, RowLinks inputs, RowLinks readers, bool ascending,
                                      int32_t members) {
  const Assignment assignment = simulate(n, inputs, readers, ascending, members);
  std::vector<MemberRows> lists(static_cast<std::size_t>(members));
  for (int32_t m = 0; m < members; ++m) {
    MemberRows& list = lists[m];
    list.rows = assignment.by_member[m];
    list.wait_start.push_back(0);
    // A wait for more rows of a member than an earlier wait of this list is the only kind that
    // is not met already.
    std::vector<int32_t> awaited(static_cast<std::size_t>(members), 0);
    std::vector<int32_t> needed(static_cast<std::size_t>(members));
    for (int32_t i : list.rows) {
      std::fill(needed.begin(), needed.end(), 0);
      for (int64_t k = inputs.start[i]; k < inputs.start[i + 1]; ++k) {
        const int32_t input = inputs.index[k];
        const int32_t u = assignment.member[input];
        needed[u] = std::max(needed[u], assignment.position[input] + 1);
      }
      for (int32_t u = 0; u < members; ++u) {
        if (u == m || needed[u] <= awaited[u]) continue;
        awaited[u] = needed[u];
        list.wait_member.push_back(u);
        list.wait_count.push_back(needed[u]);
      }
      list.wait_start.push_back(static_cast<int32_t>(list.wait_member.size()));
    }
  }
  return lists;
}
