#pragma once

#include <cstdint>

/// Wall-clock milliseconds since process start as a signed 32-bit count; the
/// count wraps around after about 24.8 days, as the platform clock it stands
/// in for does.
int32_t process_clock_milliseconds();

/// State of a run clock: the previous reading and how often the readings have
/// fallen (wrapped around) since the start.
struct RunClock {
  int32_t previous_reading = 0;  // last reading handed to advance_run_clock
  int32_t wrap_count = 0;        // number of readings below their predecessor
};

/// Takes a new reading into `clock` and returns the time in seconds, raised by
/// 2^32 ms for every wrap-around seen so far.
double advance_run_clock(RunClock& clock, int32_t reading);

/// The process-wide run clock in seconds.
double elapsed_seconds();
