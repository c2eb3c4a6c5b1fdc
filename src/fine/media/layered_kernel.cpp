#include "fine/media/layered_kernel.h"

#include <algorithm>

#include "common/fatal.h"
#include "common/parallel_for.h"
#include "common/thread_count.h"
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

void LayeredKernel::make_pairs(const std::vector<int32_t>& layers, int32_t threads) const {
  // The fits are the pairs of merged layers with the source below or at the target; the
  // others are their copies, made after.
  std::vector<int32_t> merged;
  for (int32_t layer : layers) merged.push_back(merged_.merged_of[layer]);
  std::sort(merged.begin(), merged.end());
  merged.erase(std::unique(merged.begin(), merged.end()), merged.end());
  std::vector<std::pair<int32_t, int32_t>> fits;
  for (size_t a = 0; a < merged.size(); ++a) {
    for (size_t b = a; b < merged.size(); ++b) fits.emplace_back(merged[a], merged[b]);
  }
  parallel_for(static_cast<int64_t>(fits.size()), threads > 0 ? threads : default_thread_count(),
               [&](int64_t k, int32_t) { merged_pair(fits[k].first, fits[k].second); });
  for (int32_t source : layers) {
    for (int32_t target : layers) pair(source, target);
  }
}
