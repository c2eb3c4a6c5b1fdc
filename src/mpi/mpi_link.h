#pragma once

#include <cstdint>

#include "mpi/messages.h"

/// One control message.
struct Control {
  int64_t word[kControlWords] = {};  // word[0] is the MessageKind
};

/// Sends a control message of `kind` with the words `a`, `b` after it to `rank` with `tag`.
void send_control(int rank, int tag, int64_t kind, int64_t a = 0, int64_t b = 0);

/// Sends a prepared control message.
void send_control(int rank, int tag, const Control& message);

/// Waits for the next control message from rank 0 and returns it. Waiting polls with short
/// sleeps rather than spinning, so that a waiting rank leaves its core to the solves.
Control wait_for_master();

/// Sleeps for a fraction of a millisecond between polls.
void pause_briefly();
