#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fine/axis_rect.h"

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
  CoefficientCache();

  /// (1 / (A_a A_b)) ∬∬ dA dA' / |x − x'| for panels a and b.
  double coefficient(const AxisRect& a, const AxisRect& b);

 private:
  typedef std::array<int64_t, 9> Shape;  // exponent, axes, two sizes each, offset
  struct Slot {
    Shape shape;   // the shape kept here
    double value;  // its coefficient
    bool used;     // false: the slot is free
  };
  // An open table with linear probing, at most half full: it doubles until it has kMostSlots
  // slots, and then starts afresh when half full.
  static constexpr std::size_t kMostSlots = std::size_t{1} << 19;
  std::vector<Slot> slots_;  // a power of two of them
  std::size_t used_ = 0;     // slots in use

  void grow();
};
