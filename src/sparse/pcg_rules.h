#pragma once

#include <cmath>
#include <cstdint>

// When a conjugate-gradient solve gives up. The iteration itself has no end when the tolerance is
// never met, so a solve stops, without changing the arithmetic of one that converges, when:

/// the step length ρ/(p·q) does not exist: p·q is 0.0 or not finite (tested before dividing);
inline bool is_breakdown(double pq) { return pq == 0.0 || !std::isfinite(pq); }

/// or the residual norm is not a number, or this many iterations were done without convergence.
inline int64_t pcg_iteration_limit(int32_t n) { return 10 * static_cast<int64_t>(n) + 1000; }
