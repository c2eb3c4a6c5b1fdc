#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "fine/media/image_term.h"
#include "fine/media/layer_stack.h"
#include "fine/media/pair_spectrum.h"

/// The kernels G'_ij of a layer stack as images, fitted to `tolerance` (relative, as
/// LayerPairKernel::error), each made on demand and kept.
///
/// pair() may be called from any number of threads at once: the first caller of a pair makes
/// it while others asking for it wait, and a kernel once made never changes or moves, so its
/// reference stays valid as long as the LayeredKernel. make_pairs() makes a set at once.
///
/// Layers of equal permittivity next to each other share their kernels (no interface lies
/// between them). The source-above-target kernels are the target-above-source ones read
/// backwards (moved images' offsets negated), so G'_ij(x, x') = G'_ji(x', x) holds exactly.
/// Every choice in a fit is relative to the stack's height, thinnest layer and permittivities:
/// a stack scaled in z gives the same weights and offsets scaled alike, to rounding. The same
/// stack gives the same bits in every run and on any thread.
class LayeredKernel {
 public:
  /// A stack with a problem (layer_stack_problem) ends the run with that message.
  LayeredKernel(const LayerStack& stack, double tolerance);

  /// The kernel for a source in layer `source` and a target in layer `target` (indices of the
  /// given stack). The error bound can exceed the tolerance only where 40 exponentials per
  /// coefficient function do not reach it.
  const LayerPairKernel& pair(int32_t source, int32_t target) const;

  /// Makes the kernels of every ordered pair of `layers` now, on `threads` threads of the
  /// worker pool (0: default_thread_count()); the kernels are the same bits for any count.
  void make_pairs(const std::vector<int32_t>& layers, int32_t threads = 0) const;

  const LayerStack& stack() const { return stack_; }
  double tolerance() const { return tolerance_; }

 private:
  struct Slot {
    std::once_flag made;     // set once `kernel` is made
    LayerPairKernel kernel;  // the kernel of one ordered pair of merged layers
  };

  const LayerPairKernel& merged_pair(int32_t source, int32_t target) const;

  LayerStack stack_;               // the stack as given
  MergedStack merged_;             // its runs of equal permittivity merged
  SpectralStack spectral_;         // the merged stack in units of its height
  double tolerance_;               // relative error allowed in each kernel
  std::unique_ptr<Slot[]> slots_;  // per ordered merged pair, source * count + target
};
