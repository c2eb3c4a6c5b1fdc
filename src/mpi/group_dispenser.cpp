#include "mpi/group_dispenser.h"

#include <algorithm>

bool GroupDispenser::take(int32_t width, int32_t& first, int32_t& count) {
  if (next_first >= conductor_count || next_first > lowest_failed) return false;
  first = next_first;
  count = std::min(std::max(width, 1), conductor_count - next_first);
  next_first += count;
  return true;
}

void GroupDispenser::note_failure(int32_t k) {
  if (k >= 0 && k < lowest_failed) lowest_failed = k;
}
