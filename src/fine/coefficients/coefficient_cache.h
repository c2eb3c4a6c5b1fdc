#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fine/media/image_term.h"
#include "structure/axis_rect.h"

/// Coefficients of potential between pairs of panels, each computed once per shape of the pair:
/// two pairs that differ only by a translation (or by the order of their two panels) have the
/// same coefficient, and on graded panels of regular structures most pairs repeat (on a bus all
/// but about one in twenty).
///
/// A pair's shape is its sizes and the offset between its panels, rounded to 2⁻⁴⁰ of its larger
/// panel (a power of two, so the rounded shape is exact), and the coefficient is computed from
/// that rounded shape alone: the same shape gives the same bits whichever pair met it first.
class CoefficientCache {
 public:
  /// A cache whose pairs in one medium keep the far expansion within `far_tolerance` of their
  /// value (galerkin_integral_to; 0: galerkin_integral's own bound).
  explicit CoefficientCache(double far_tolerance = 0);

  /// (1 / (A_a A_b)) ∬∬ dA dA' / |x − x'| for panels a and b.
  double coefficient(const AxisRect& a, const AxisRect& b);

  /// The same through the images of a layer stack's kernel for a source b in one layer and a
  /// target a in another: (1 / (A_a A_b)) Σ_n w_n ∬∬ dA dA' / |x − image_n(x')|, or with
  /// `normal`, the mean over a of the derivative along a's axis, (1 / (A_a A_b)) Σ_n w_n
  /// K(a, image_n(b)) (normal_field_integral, principal value). `pair` names the ordered pair of
  /// layers (source, target) whose `kernel` it is, and must tell every two kernels apart. The
  /// shape of such a pair holds the heights of both panels exactly: the kernel is the same
  /// under moves across z only. Each image is computed within its share of one budget
  /// (layered_integral.h).
  double layered(const AxisRect& a, const AxisRect& b, const LayerPairKernel& kernel, int64_t pair,
                 bool normal);

  /// A pair's shape with its hashes, made ahead of its value so that its slot of the table can
  /// be on its way from memory while other pairs are computed.
  struct Probe {
    std::array<int64_t, 12> shape;   // as value_of's
    uint64_t first = 0, second = 0;  // its hashes; first 0: made without them (not looked up)
    const LayerPairKernel* kernel = nullptr;
    bool normal = false;
  };

  /// The probe of coefficient(a, b), its slot prefetched.
  Probe probe(const AxisRect& a, const AxisRect& b) { return probe_of(a, b, nullptr, 0, false); }

  /// The probe of layered(a, b, kernel, pair, normal), its slot prefetched.
  Probe layered_probe(const AxisRect& a, const AxisRect& b, const LayerPairKernel& kernel,
                      int64_t pair, bool normal) {
    return probe_of(a, b, &kernel, pair, normal);
  }

  /// The value of a probe's pair: the bits of coefficient or layered on the same pair.
  double value(const Probe& probe);

  /// The memory a cache takes.
  static int64_t bytes() { return static_cast<int64_t>(kSlots * sizeof(Slot)); }

 private:
  // exponent, axes, two sizes each, offset; for a layered pair the z offset is b's lowest z
  // (its bits), then a's, the pair of layers and what is measured (1 potential, 2 normal
  // derivative); else zeros
  typedef std::array<int64_t, 12> Shape;
  // The shape of the pair (a, b) and, while its kind is looked up, its hashes.
  Probe probe_of(const AxisRect& a, const AxisRect& b, const LayerPairKernel* kernel, int64_t pair,
                 bool normal);
  // True while pairs of `kind` are looked up.
  bool looking_up(int kind) const {
    return looked_up_[kind] < kTrial || found_[kind] * kWorth[kind] >= looked_up_[kind];
  }
  // A shape is known by two independent 64-bit hashes of it: two different shapes share both
  // with a chance of 2^-128, far below any other cause of error.
  struct Slot {
    uint64_t first;   // the first hash, 0 for a free slot
    uint64_t second;  // the second hash
    double value;     // the shape's coefficient
  };
  // An open table with linear probing; when half full it starts afresh.
  static constexpr std::size_t kSlots = std::size_t{1} << 19;
  double far_tolerance_;     // of a pair in one medium
  std::vector<Slot> slots_;  // kSlots of them
  std::size_t used_ = 0;     // slots in use
  // Pairs repeat on regular structures (a bus: nineteen in twenty, in vacuum or in a stack) but
  // hardly on graded strips in a stack (about one in a hundred on lines24) or a cell's wiring in
  // vacuum (one in eight on a flip-flop), where a look-up costs a miss of the table for nothing.
  // After kTrial look-ups of a kind (0 in one medium, 1 layered), a cache that found fewer than
  // one in kWorth[kind] stops looking that kind up: the value comes from the shape alone, the
  // same bits either way. A miss of the table costs about half of a pair's value in one medium
  // (measured on the flip-flop) and a small part of one through a stack's images.
  static constexpr int64_t kTrial = 1 << 16;
  static constexpr int64_t kWorth[2] = {2, 16};
  int64_t looked_up_[2] = {0, 0};  // pairs of each kind looked up
  int64_t found_[2] = {0, 0};      // of them, found in the table
};
