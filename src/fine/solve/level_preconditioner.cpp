#include "fine/solve/level_preconditioner.h"

#include "fine/solve/near_kernels.h"

void LevelPreconditioner::correct(Lanes<kNarrowLanes>* x, Lanes<kNarrowLanes>* r,
                                  Lanes<kNarrowLanes>* work) const {
  if (coarse.size > 0) correct_start(coarse, x, r, work);
}

void LevelPreconditioner::apply(const Lanes<kNarrowLanes>* r, Lanes<kNarrowLanes>* z,
                                Lanes<kNarrowLanes>* work) const {
  near_kernels(instruction_set).factor_solve(factor, r, z);
  if (coarse.size > 0) deflate_direction(coarse, z, work);
}
