// Nanoseconds per Galerkin coefficient, by kind of pair: for each kind a set of 64 varied pairs
// of that kind is run through galerkin_integral (the potential) and normal_field_integral (the
// normal field, the first of each pair the target) over and over; the figure is the least
// per-call processor time (CLOCK_PROCESS_CPUTIME_ID) of five rounds of at least 0.1 s each,
// which other work on the machine still inflates (compare runs, or count instructions under
// callgrind).
//
// usage: fine_coefficients_bench

#include <time.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "fine/coefficients/galerkin_integral.h"
#include "fine/coefficients/normal_field_integral.h"
#include "structure/axis_rect.h"

namespace {

struct Pair {
  AxisRect a;  // first rectangle
  AxisRect b;  // second rectangle
};

AxisRect rect(int32_t axis, double plane, double u0, double v0, double su, double sv) {
  AxisRect r;
  r.axis = axis;
  r.plane = plane;
  r.lo[0] = u0;
  r.lo[1] = v0;
  r.hi[0] = u0 + su;
  r.hi[1] = v0 + sv;
  return r;
}

double seconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + 1e-9 * t.tv_nsec;
}

double nanoseconds_per_call(const std::vector<Pair>& pairs,
                            double (*integral)(const AxisRect&, const AxisRect&)) {
  double best = INFINITY, sink = 0;
  for (int32_t round = 0; round < 5; ++round) {
    int64_t calls = 0;
    const double start = seconds();
    double elapsed = 0;
    do {
      for (const Pair& p : pairs) sink += integral(p.a, p.b);
      calls += static_cast<int64_t>(pairs.size());
      elapsed = seconds() - start;
    } while (elapsed < 0.1);
    best = std::fmin(best, elapsed / calls * 1e9);
  }
  if (sink == 12345) std::printf(" ");  // keeps the calls
  return best;
}

// 64 pairs made by `make` from uniform numbers in [0, 1).
template <typename Make>
std::vector<Pair> kind(Make make) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  std::vector<Pair> pairs;
  for (int32_t i = 0; i < 64; ++i) pairs.push_back(make(uniform(random), uniform(random)));
  return pairs;
}

}  // namespace

int main() {
  struct Kind {
    const char* name;         // what the pairs are
    std::vector<Pair> pairs;  // the pairs
  };
  const std::vector<Kind> kinds = {
      {"same rectangle", kind([](double s, double t) {
         const AxisRect r = rect(2, 0, 0, 0, 1 + s, 1 + t);
         return Pair{r, r};
       })},
      {"coplanar neighbours sharing an edge", kind([](double s, double t) {
         return Pair{rect(2, 0, 0, 0, 1, 1 + s), rect(2, 0, 1, t, 1 + t, 1)};
       })},
      {"box faces sharing an edge", kind([](double s, double t) {
         return Pair{rect(2, 0, 0, 0, 1 + s, 1), rect(1, 1, 0, 0, 1 + t, 1 + s)};
       })},
      {"parallel, facing at 0.3 to 1 size", kind([](double s, double t) {
         return Pair{rect(2, 0, 0, 0, 1, 1), rect(2, 0.3 + 0.7 * s, t, 0.5 * s, 1, 1)};
       })},
      {"perpendicular, 0.5 to 1.5 sizes apart", kind([](double s, double t) {
         return Pair{rect(2, 0, 0, 0, 1, 1), rect(0, 1.5 + s, t, 0.5, 1, 1)};
       })},
      {"parallel, 2.5 to 3 sizes apart (centres)", kind([](double s, double t) {
         return Pair{rect(2, 0, 0, 0, 1, 1), rect(2, 0, 2.5 + 0.5 * s, t, 1, 1)};
       })},
      {"thin strips (aspect 100) side by side", kind([](double s, double t) {
         return Pair{rect(2, 0, 0, 0, 0.01, 1), rect(2, 0, 0.01 + 0.01 * s, t, 0.01, 1)};
       })},
      {"thin strips (aspect 100) side by side, 0.01 higher", kind([](double s, double t) {
         return Pair{rect(2, 0, 0, 0, 0.01, 1), rect(2, 0.01, 0.01 + 0.01 * s, t, 0.01, 1)};
       })},
      {"thin strips (aspect 100) crossing", kind([](double s, double t) {
         return Pair{rect(2, 0, 0, 0, 0.01, 1),
                     rect(2, 0.01 + 0.01 * s, 0.3 * t - 0.5, 0.45, 1, 0.01)};
       })},
      {"small (1/100) at 1 to 3 own sizes from large", kind([](double s, double t) {
         return Pair{rect(2, 0, 0, 0, 1, 1), rect(2, 0.01 + 0.02 * s, t, 0.5, 0.01, 0.01)};
       })},
      {"small (1/1000) on a large one", kind([](double s, double t) {
         return Pair{rect(2, 0, 0, 0, 1, 1), rect(1, 0.2 + 0.6 * s, 0, t, 0.001, 0.001)};
       })},
      {"far, 3.5 to 5 sizes apart (centres)", kind([](double s, double t) {
         return Pair{rect(2, 0, 0, 0, 1, 1), rect(1, 3.5 + 1.5 * s, 0, t, 1, 1)};
       })},
      {"far, 10 to 20 sizes apart", kind([](double s, double t) {
         return Pair{rect(2, 0, 0, 0, 1, 1), rect(2, 5 * t, 10 + 10 * s, 3 * t, 1, 1)};
       })},
      {"far, 1000 sizes apart", kind([](double s, double t) {
         return Pair{rect(2, 0, 0, 0, 1, 1), rect(0, 1000 + s, 300 * t, 0, 1, 1)};
       })},
  };
  std::printf("%-48s %10s %10s\n", "pairs", "potential", "normal");
  for (const Kind& k : kinds) {
    const double potential = nanoseconds_per_call(k.pairs, galerkin_integral);
    std::printf("%-48s %10.1f %10.1f\n", k.name, potential,
                nanoseconds_per_call(k.pairs, normal_field_integral));
  }
  return 0;
}
