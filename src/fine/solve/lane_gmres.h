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
  int32_t threads = 1;                                    // threads making each product
  FarFieldWork far;                                       // the far field's expansions
  std::vector<std::unique_ptr<Lanes<kNarrowLanes>[]>> v;  // restart + 1 basis vectors
  std::unique_ptr<Lanes<kNarrowLanes>[]> w;               // the operator's product
  std::unique_ptr<Lanes<kNarrowLanes>[]> z;               // a preconditioned vector
  std::unique_ptr<Lanes<kNarrowLanes>[]> preconditioner;  // apply_block_preconditioner's work
};

/// A space kept from the first cycle of one solve for the solves after it on the same system
/// (recycled): C orthonormal and U with A U = C, lane by lane. A later solve first
/// takes r's part in C through U, then iterates on the part of A M⁻¹ outside C, so the
/// directions that the first cycle needed its first steps for are not found again. A lane's
/// columns past the steps of its own first cycle are zero.
struct RecycledSpace {
  RecycledSpace(int32_t n, int32_t most);
  /// The memory a space takes.
  static int64_t bytes(int32_t n, int32_t most);

  int32_t size = 0;                                          // columns held, 0 until kept
  std::vector<std::unique_ptr<Lanes<kNarrowLanes>[]>> c, u;  // up to `most` of each
};

/// Solves A x = b for the lanes of a group by restarted GMRES, preconditioned on the right by
/// M, each lane from its own start in x until its residual norm |b − A x| is at most bound[w]
/// (at most `max_iterations` products in all); a lane whose bound its start meets is done at
/// once, and one whose residual has not halved in kStalledCycles cycles gives up, unconverged. Each
/// lane's arithmetic is its own: the lanes beside it do not change a bit of it. With `recycle`, an
/// empty space is filled from this solve's first cycle, and a filled one is used.
std::vector<LaneOutcome> gmres_lanes(const GeneralSystem& A, int32_t degree,
                                     const BlockPreconditioner& M, const Lanes<kNarrowLanes>* b,
                                     Lanes<kNarrowLanes>* x, const double* bound,
                                     int32_t max_iterations, GmresWork& work,
                                     RecycledSpace* recycle = nullptr);
