#include "fine/coefficients/coefficient_cache.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "fine/coefficients/galerkin_integral.h"
#include "fine/coefficients/layered_integral.h"
#include "fine/coefficients/power_of_two.h"
#include "structure/space_box.h"

namespace {

/// A hash of the shape, mixed with splitmix64's finaliser after each value so that shapes whose
/// numbers share their low bits still spread over the table; `seed` picks one of many.
uint64_t hash_of(const std::array<int64_t, 12>& shape, uint64_t seed) {
  uint64_t h = seed;
  for (int64_t v : shape) {
    uint64_t z = h + static_cast<uint64_t>(v) + 0x9e3779b97f4a7c15ull;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    h = z ^ (z >> 31);
  }
  return h;
}

}  // namespace

CoefficientCache::CoefficientCache(double far_tolerance)
    : far_tolerance_(far_tolerance), slots_(kSlots) {}

double CoefficientCache::coefficient(const AxisRect& a, const AxisRect& b) {
  return value(probe_of(a, b, nullptr, 0, false));
}

double CoefficientCache::layered(const AxisRect& a, const AxisRect& b,
                                 const LayerPairKernel& kernel, int64_t pair, bool normal) {
  return value(probe_of(a, b, &kernel, pair, normal));
}

namespace {

/// The value of a pair of rectangles as its shape says: through the kernel's images when there
/// is one.
double pair_value(const AxisRect& p, const AxisRect& q, const LayerPairKernel* kernel, bool normal,
                  double far_tolerance) {
  const double area_p = (p.hi[0] - p.lo[0]) * (p.hi[1] - p.lo[1]);
  const double area_q = (q.hi[0] - q.lo[0]) * (q.hi[1] - q.lo[1]);
  if (kernel == nullptr) return galerkin_integral_to(p, q, far_tolerance) / (area_p * area_q);
  const double sum =
      normal ? layered_normal_field(p, q, *kernel) : layered_potential_integral(p, q, *kernel);
  return sum / (area_p * area_q);
}

/// The value of a pair from its shape alone: the rounded shape as two rectangles, the first
/// with its lower corner at the origin.
double shape_value(const std::array<int64_t, 12>& shape, const LayerPairKernel* kernel, bool normal,
                   double far_tolerance) {
  const int exponent = static_cast<int>(shape[0]);
  AxisRect p, q;
  const int32_t axes = static_cast<int32_t>(shape[1]);
  p.axis = axes / 3;
  q.axis = axes % 3;
  double plo[3] = {0.0, 0.0, 0.0}, qlo[3];
  for (int d = 0; d < 3; ++d)
    qlo[d] = plo[d] + times_power_of_two(static_cast<double>(shape[6 + d]), exponent);
  if (kernel != nullptr) {  // the heights of both as they are
    std::memcpy(&qlo[2], &shape[8], sizeof qlo[2]);
    std::memcpy(&plo[2], &shape[9], sizeof plo[2]);
  }
  p.plane = plo[p.axis];
  q.plane = qlo[q.axis];
  for (int k = 0; k < 2; ++k) {
    p.lo[k] = plo[(p.axis + 1 + k) % 3];
    p.hi[k] = p.lo[k] + times_power_of_two(static_cast<double>(shape[2 + k]), exponent);
    q.lo[k] = qlo[(q.axis + 1 + k) % 3];
    q.hi[k] = q.lo[k] + times_power_of_two(static_cast<double>(shape[4 + k]), exponent);
  }
  return pair_value(p, q, kernel, normal, far_tolerance);
}

}  // namespace

CoefficientCache::Probe CoefficientCache::probe_of(const AxisRect& a, const AxisRect& b,
                                                   const LayerPairKernel* kernel, int64_t pair,
                                                   bool normal) {
  Probe probe;
  probe.kernel = kernel;
  probe.normal = normal;
  const SpaceBox box_a = space_box(a), box_b = space_box(b);
  const double size =
      std::max({a.hi[0] - a.lo[0], a.hi[1] - a.lo[1], b.hi[0] - b.lo[0], b.hi[1] - b.lo[1]});
  const int exponent = frexp_exponent(size) - 40;
  const double unit = power_of_two(-exponent);  // 2^-exponent, exact
  auto rounded = [unit](double length) {
    const double v = length * unit;
    return static_cast<int64_t>(v >= 0.0 ? v + 0.5 : v - 0.5);
  };
  // The shape in units of 2^exponent, and the same with the panels swapped; the smaller is kept.
  Shape forward, backward;
  forward[0] = backward[0] = exponent;
  forward[1] = a.axis * 3 + b.axis;
  backward[1] = b.axis * 3 + a.axis;
  for (int k = 0; k < 2; ++k) {
    forward[2 + k] = backward[4 + k] = rounded(a.hi[k] - a.lo[k]);
    forward[4 + k] = backward[2 + k] = rounded(b.hi[k] - b.lo[k]);
  }
  for (int d = 0; d < 3; ++d) {
    forward[6 + d] = rounded(box_b.lo[d] - box_a.lo[d]);
    backward[6 + d] = -forward[6 + d];
  }
  forward[9] = backward[9] = forward[10] = backward[10] = forward[11] = backward[11] = 0;
  if (kernel != nullptr) {
    // The heights exactly: a panel on a layer boundary must stay on it, where its mirror image
    // is itself (a rounded height would put the image a little beside it).
    std::memcpy(&forward[8], &box_b.lo[2], sizeof box_b.lo[2]);
    std::memcpy(&forward[9], &box_a.lo[2], sizeof box_a.lo[2]);
    forward[10] = backward[10] = pair;
    forward[11] = backward[11] = normal ? 2 : 1;
  }
  // The order of a normal pair counts (the target's normal), and so does a layered pair's
  // (the kernel is its layers' in this order): only a pair of one medium may be swapped.
  probe.shape = kernel == nullptr ? std::min(forward, backward) : forward;
  if (!looking_up(kernel == nullptr ? 0 : 1)) return probe;
  probe.first = hash_of(probe.shape, 0) | 1;
  probe.second = hash_of(probe.shape, 0x5851f42d4c957f2dull);
  __builtin_prefetch(&slots_[static_cast<std::size_t>(probe.first >> 1) & (kSlots - 1)]);
  return probe;
}

double CoefficientCache::value(const Probe& probe) {
  const int kind = probe.kernel == nullptr ? 0 : 1;
  // A kind that stopped being looked up never starts again, so a probe made while it was looked
  // up may meet it stopped, never the reverse.
  if (probe.first == 0 || !looking_up(kind)) {
    return shape_value(probe.shape, probe.kernel, probe.normal, far_tolerance_);
  }
  ++looked_up_[kind];
  const uint64_t first = probe.first, second = probe.second;
  const std::size_t mask = kSlots - 1;
  std::size_t at = static_cast<std::size_t>(first >> 1) & mask;
  while (slots_[at].first != 0) {
    if (slots_[at].first == first && slots_[at].second == second) {
      ++found_[kind];
      return slots_[at].value;
    }
    at = (at + 1) & mask;
  }
  const double value = shape_value(probe.shape, probe.kernel, probe.normal, far_tolerance_);
  if (2 * (used_ + 1) > kSlots) {
    for (Slot& slot : slots_) slot.first = 0;
    used_ = 0;
    at = static_cast<std::size_t>(first >> 1) & mask;
  }
  slots_[at] = Slot{first, second, value};
  ++used_;
  return value;
}
