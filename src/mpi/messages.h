#pragma once

#include <cstdint>

// The messages between rank 0, which runs the extraction and hands out the conductors, and the
// other ranks, which only solve. Control messages are kControlWords 64-bit words, the first
// being the kind; a solution is sent as doubles.

/// Tags: rank 0 to a worker, a worker's control messages, a worker's solutions.
enum MessageTag : int { kFromMaster = 1, kToMaster = 2, kSolution = 3 };

constexpr int kControlWords = 8;

/// The first word of a control message.
enum MessageKind : int64_t {
  // Rank 0 to a worker.
  kHeader = 1,   // the sizes of P and the factor follow: n, P entries, factor entries, (word 4
                 // unused), conductors, tolerance (its bits), all_finite
  kGo = 2,       // every worker has room: the arrays are broadcast next
  kGroup = 3,    // conductors [word 1, word 1 + word 2) are yours
  kStop = 4,     // no conductor is left for you
  kEnd = 5,      // finish and end with exit status word 1; answer kBye
  kAbandon = 6,  // stop every solve above conductor word 1 (-1: every solve), the lowest that
                 // gave up anywhere; at any time during the solves, never answered
  // A worker to rank 0.
  kReady = 11,    // room for the arrays is allocated
  kRequest = 12,  // hand me a group of at most word 1 conductors
  kDone = 13,     // my solves are over; word 1 is my lowest conductor that gave up, or -1
  kFatal = 14,    // I ran out of memory
  kBye = 15,      // I am ending
  kGaveUp = 16,   // my solve of conductor word 1 gave up; sent at once, during my solves
};

/// A solution message: the conductor, its iteration count and then its column of m charges.
constexpr int kSolutionHead = 2;
