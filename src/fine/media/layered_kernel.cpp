#include "fine/media/layered_kernel.h"

#include "common/fatal.h"
#include "fine/media/pair_fit.h"

LayeredKernel::LayeredKernel(const LayerStack& stack, double tolerance)
    : stack_(stack), tolerance_(tolerance) {
  const std::string problem = layer_stack_problem(stack);
  if (!problem.empty()) fail_and_exit(problem.c_str());
  merged_ = merge_equal_neighbours(stack);
  spectral_ = spectral_stack(merged_);
  const size_t count = merged_.permittivity.size();
  slots_.reset(new Slot[count * count]);
}

const LayerPairKernel& LayeredKernel::merged_pair(int32_t source, int32_t target) const {
  const int32_t count = static_cast<int32_t>(merged_.permittivity.size());
  Slot& slot = slots_[static_cast<size_t>(source) * count + target];
  std::call_once(slot.made, [&] {
    if (source <= target) {
      slot.kernel = fit_layer_pair(spectral_, source, target, tolerance_);
      return;
    }
    // G'_ij(x, x') = G'_ji(x', x): an image z' -> offset + z' of a source below becomes
    // z' -> z' - offset; a mirror z' -> offset - z' stays one.
    slot.kernel = merged_pair(target, source);
    for (ImageTerm& term : slot.kernel.terms) {
      if (!term.mirror) term.offset = -term.offset;
    }
  });
  return slot.kernel;
}

const LayerPairKernel& LayeredKernel::pair(int32_t source, int32_t target) const {
  return merged_pair(merged_.merged_of[source], merged_.merged_of[target]);
}

void LayeredKernel::make_pairs(const std::vector<int32_t>& layers) const {
  for (int32_t source : layers) {
    for (int32_t target : layers) pair(source, target);
  }
}
