// A STREAM-like triad a(i) = b(i) + s·c(i) over arrays of growing size, on one thread and on
// every core at once (each thread on arrays of its own): the bandwidth of each level of the
// memory hierarchy, counting 24 bytes moved per element (two loads and a store; the store's
// read for ownership is not counted, as STREAM does not). Best of several repeats, each thread's
// own CPU time (the slowest thread's), so that time the thread spends descheduled on a shared
// machine does not count as time moving data.
//
// usage: memory_triad [LARGEST_MB]

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

double thread_seconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

void triad(double* __restrict a, const double* __restrict b, const double* __restrict c, double s,
           std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) a[i] = b[i] + s * c[i];
}

// Bytes per second of `threads` threads, each running triads over three arrays of `n` doubles.
double bandwidth(std::size_t n, int threads) {
  std::vector<std::vector<double>> arrays(3 * threads, std::vector<double>(n, 1.0));
  // Enough passes for about 0.2 s of work at 20 GB/s, at least 3.
  const int passes = std::max<std::size_t>(3, 4000000000ull / (24 * n) / 8);
  double best = 1e30;
  for (int repeat = 0; repeat < 5; ++repeat) {
    std::vector<double> spent(threads);
    std::vector<std::thread> team;
    for (int t = 0; t < threads; ++t) {
      team.emplace_back([&, t] {
        const double start = thread_seconds();
        for (int p = 0; p < passes; ++p) {
          triad(arrays[3 * t].data(), arrays[3 * t + 1].data(), arrays[3 * t + 2].data(), 0.5, n);
        }
        spent[t] = thread_seconds() - start;
      });
    }
    for (auto& member : team) member.join();
    best = std::min(best, *std::max_element(spent.begin(), spent.end()));
  }
  volatile double keep = arrays[0][n / 2];
  (void)keep;
  return 24.0 * static_cast<double>(n) * passes * threads / best;
}

}  // namespace

int main(int argc, char** argv) {
  const double largest_mb = argc > 1 ? std::atof(argv[1]) : 1024.0;
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  std::printf("%12s %14s %14s\n", "MB per thread", "GB/s, 1 thread", "GB/s, all cores");
  for (double mb = 0.25; mb <= largest_mb; mb *= 2) {
    const std::size_t n = static_cast<std::size_t>(mb * 1048576.0 / 24.0);
    std::printf("%12.2f %14.1f %14.1f (%d)\n", mb, bandwidth(n, 1) / 1e9, bandwidth(n, cores) / 1e9,
                cores);
    std::fflush(stdout);
  }
  return 0;
}
