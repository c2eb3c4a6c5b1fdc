#include "fine/solve/level_preconditioner.h"

#include "fine/solve/near_kernels.h"

void LevelPreconditioner::apply(const Lanes<kNarrowLanes>* r, Lanes<kNarrowLanes>* z,
                                Lanes<kNarrowLanes>*) const {
  near_kernels(instruction_set).factor_solve(factor, r, z);
}
