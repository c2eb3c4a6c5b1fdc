#include "common/run_clock.h"

#include <chrono>

namespace {

const std::chrono::steady_clock::time_point process_start = std::chrono::steady_clock::now();

RunClock process_run_clock;

}  // namespace

int32_t process_clock_milliseconds() {
  auto elapsed = std::chrono::steady_clock::now() - process_start;
  auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
  // Keep the low 32 bits, as a 32-bit millisecond counter does when it wraps.
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(milliseconds)));
}

double advance_run_clock(RunClock& clock, int32_t reading) {
  if (reading < clock.previous_reading) clock.wrap_count += 1;
  clock.previous_reading = reading;
  double seconds = reading * 0.001;
  if (clock.wrap_count != 0) seconds = seconds + clock.wrap_count * 4294967.296;
  return seconds;
}

double elapsed_seconds() {
  return advance_run_clock(process_run_clock, process_clock_milliseconds());
}
