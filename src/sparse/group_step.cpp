#include "sparse/group_step.h"

#include <cstring>

namespace {

template <int32_t L>
const LaneKernels<L>& kernels_of(const LaneKernelSet& set);
template <>
const LaneKernels<kQuarterLanes>& kernels_of(const LaneKernelSet& set) {
  return set.quarter;
}
template <>
const LaneKernels<kNarrowLanes>& kernels_of(const LaneKernelSet& set) {
  return set.narrow;
}
template <>
const LaneKernels<kWideLanes>& kernels_of(const LaneKernelSet& set) {
  return set.wide;
}

const LaneMatrices& matrices_of(const MatricesByWidth& matrices, int32_t lanes) {
  if (lanes == kWideLanes) return matrices.wide;
  return lanes == kNarrowLanes ? matrices.narrow : matrices.quarter;
}

template <int32_t L>
void step_of_width(GroupStep& step, int32_t member, double* rz_out, double* pq_out,
                   double* rr_out) {
  const LaneKernels<L>& kernels = kernels_of<L>(*step.kernels);
  const LaneMatrices& matrices = matrices_of(*step.matrices, L);
  LaneWorkspace& work = *step.work;
  const int32_t n = work.n;
  Lanes<L>* const xs = reinterpret_cast<Lanes<L>*>(work.xs);
  Lanes<L>* const rs = reinterpret_cast<Lanes<L>*>(work.rs);
  Lanes<L>* const zs = reinterpret_cast<Lanes<L>*>(work.zs);
  Lanes<L>* const ps = reinterpret_cast<Lanes<L>*>(work.ps);
  Lanes<L>* const qs = reinterpret_cast<Lanes<L>*>(work.qs);
  const bool split = step.members > 1;
  SplitShare share;
  int32_t first = 0;  // the rows of the element-wise passes this member takes
  int32_t end = n;
  if (split) {
    const TeamPlan& plan = step.plans->plan(step.members);
    share = plan.shares[member];
    first = plan.element_bounds[member];
    end = plan.element_bounds[member + 1];
  }
  auto all_here = [&] {
    if (split) step.barrier.arrive_and_wait(step.members);
  };

  // The substitutions stay with the owner (split_plan.h).
  if (member == 0) kernels.solve_factored(matrices, zs, rs);
  all_here();
  // Every member forms the lanes' scalars from the same sums, so they agree to the bit.
  Lanes<L> rz;
  kernels.dot(rz, rs, zs, n);
  Lanes<L> restart;
  Lanes<L> beta;
  for (int32_t l = 0; l < L; ++l) {
    const int64_t all_ones = -1;
    double mask = 0.0;
    if (work.lane[l].first_step) std::memcpy(&mask, &all_ones, sizeof(double));
    restart.lane[l] = mask;
    beta.lane[l] = work.lane[l].first_step ? 0.0 : rz.lane[l] / work.lane[l].rho;
  }
  kernels.next_direction(restart, beta, ps + first, zs + first, end - first);
  all_here();
  if (split) {
    kernels.multiply_share(matrices, share, qs, ps);
    all_here();
  } else {
    kernels.multiply(matrices, qs, ps);
  }
  Lanes<L> pq;
  kernels.dot(pq, ps, qs, n);
  Lanes<L> alpha;
  for (int32_t l = 0; l < L; ++l) alpha.lane[l] = rz.lane[l] / pq.lane[l];
  kernels.update(alpha, ps + first, qs + first, xs + first, rs + first, end - first);
  all_here();
  if (member == 0) {
    Lanes<L> rr;
    kernels.dot(rr, rs, rs, n);
    std::memcpy(rz_out, rz.lane, sizeof(rz.lane));
    std::memcpy(pq_out, pq.lane, sizeof(pq.lane));
    std::memcpy(rr_out, rr.lane, sizeof(rr.lane));
  }
}

}  // namespace

void run_group_step(int32_t width, GroupStep& step, int32_t member, double* rz, double* pq,
                    double* rr) {
  if (width == kWideLanes) {
    step_of_width<kWideLanes>(step, member, rz, pq, rr);
  } else if (width == kNarrowLanes) {
    step_of_width<kNarrowLanes>(step, member, rz, pq, rr);
  } else {
    step_of_width<kQuarterLanes>(step, member, rz, pq, rr);
  }
}
