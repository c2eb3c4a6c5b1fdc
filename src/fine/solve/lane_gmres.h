#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "fine/solve/general_system.h"
#include "fine/solve/lane_pcg.h"

/// The vectors of one lane-group GMRES solve, kept by a thread from one group to the next.
struct GmresWork {
  GmresWork(const FarField& far, int32_t n, int32_t conductor_rows, int32_t restart);
  /// The memory a work space takes.
  static int64_t bytes(const FarField& far, int32_t n, int32_t conductor_rows, int32_t restart);

  int32_t restart;                                        // Krylov vectors per cycle
  FarFieldWork far;                                       // the far field's expansions
  std::vector<std::unique_ptr<Lanes<kNarrowLanes>[]>> v;  // restart + 1 basis vectors
  std::unique_ptr<Lanes<kNarrowLanes>[]> w;               // the operator's product
  std::unique_ptr<Lanes<kNarrowLanes>[]> z;               // a preconditioned vector
  std::unique_ptr<Lanes<kNarrowLanes>[]> preconditioner;  // apply_block_preconditioner's work
};

/// Solves A x = b for the lanes of a group by restarted GMRES, preconditioned on the right by
/// M, each lane from its own start in x until its residual norm |b − A x| is at most bound[w]
/// (at most `max_iterations` products in all); a lane whose bound its start meets is done at
/// once. Each lane's arithmetic is its own: the lanes beside it do not change a bit of it.
std::vector<LaneOutcome> gmres_lanes(const GeneralSystem& A, int32_t degree,
                                     const BlockPreconditioner& M, const Lanes<kNarrowLanes>* b,
                                     Lanes<kNarrowLanes>* x, const double* bound,
                                     int32_t max_iterations, GmresWork& work);
