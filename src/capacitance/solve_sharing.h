#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "sparse/compact_arrays.h"

/// The hooks through which compute_capacitance shares its conductor solves with other
/// processes. Every solve gives the same bits wherever it runs, so only the bookkeeping moves:
/// which conductors this process solves, and the columns and failures of the others.
struct SolveSharing {
  /// The lowest conductor known to have given up in any process, INT32_MAX for none, -1 when
  /// every solve is to stop (another process failed otherwise); see LaneSolveSettings.
  std::atomic<int32_t>* lowest_failure = nullptr;
  /// Called once before any solve, with the flat copies of P and the factor, the tolerance and
  /// the m·m column store (column k at k·m) that the other processes' columns go into. Returns
  /// the lanes of this process's groups at the most.
  std::function<int32_t(const CompactSymmetric& P, const CompactFactor& F, double tolerance,
                        int32_t conductor_count, double* columns)>
      begin;
  /// The next conductor for this process, ascending; -1 when none is left for it.
  std::function<int32_t()> claim;
  /// Called every few milliseconds from the calling thread while this process solves; returns
  /// the number of solutions that the other processes have sent so far.
  std::function<int32_t()> serve;
  /// Called when this process's own solves are done, `failed` being its lowest conductor that
  /// gave up (-1 for none): waits for the others, adds their iterations to `iterations`, and
  /// returns the lowest conductor that gave up anywhere (-1 for none).
  std::function<int32_t(int32_t failed, int64_t& iterations)> finish;
};
