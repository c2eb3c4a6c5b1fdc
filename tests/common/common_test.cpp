#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "common/cpu_count.h"
#include "common/fatal.h"
#include "common/memory_limit.h"
#include "common/parallel_for.h"
#include "common/progress_display.h"
#include "common/run_clock.h"
#include "common/thread_count.h"

TEST(RunClock, ReadingsBecomeSecondsAndWrapAroundsAreCorrected) {
  RunClock clock;
  EXPECT_EQ(0.0, advance_run_clock(clock, 0));
  EXPECT_EQ(1.5, advance_run_clock(clock, 1500));
  EXPECT_EQ(1.5, advance_run_clock(clock, 1500));  // equal is no fall
  // A reading below the previous one adds 2^32 ms to it and to all later ones.
  EXPECT_EQ(-2147483.648 + 4294967.296, advance_run_clock(clock, INT32_MIN));
  EXPECT_EQ(0.25 + 4294967.296, advance_run_clock(clock, 250));
  EXPECT_EQ(0.1 + 2 * 4294967.296, advance_run_clock(clock, 100));
  EXPECT_EQ(2, clock.wrap_count);
  EXPECT_EQ(100, clock.previous_reading);

  double first = elapsed_seconds();
  double second = elapsed_seconds();
  EXPECT_GE(first, 0.0);
  EXPECT_LE(first, second);
}

namespace {

// In a death test's child, whose standard error the matcher reads: standard output reaches it,
// standard error is discarded.
void show_only_standard_output() {
  dup2(2, 1);
  dup2(open("/dev/null", O_WRONLY), 2);
}

}  // namespace

// The handler's message on standard error, as the viewer installs it, is tested with the viewer.
TEST(FatalUtilities, MessagesGoToStandardOutputWithExitStatusOne) {
  EXPECT_EXIT(
      {
        show_only_standard_output();
        fail_and_exit("Not enough memory!!\n");
      },
      ::testing::ExitedWithCode(1), "^Not enough memory!!\n\n$");
#ifndef __SANITIZE_ADDRESS__  // the sanitizer's allocator reports a failed new itself
  EXPECT_EXIT(
      {
        show_only_standard_output();
        install_out_of_memory_handler(stdout);
        volatile char* storage = new char[std::size_t{1} << 62];
        storage[0] = 1;
      },
      ::testing::ExitedWithCode(1), "^Not enough memory!!\n\n$");
#endif

  auto* zeros = static_cast<double*>(calloc_or_exit(1000, sizeof(double)));
  for (int k = 0; k < 1000; ++k) ASSERT_EQ(0.0, zeros[k]);
  std::free(zeros);
  void* empty = calloc_or_exit(0, sizeof(double));
  EXPECT_NE(nullptr, empty);
  std::free(empty);
}

TEST(MemoryLimit, AddressSpaceIsLoweredToPhysicalMemoryButNeverRaised) {
  const uint64_t gib = uint64_t{1} << 30;
  const uint64_t unlimited = ~uint64_t{0};
  EXPECT_EQ(24 * gib, lowered_address_space_limit(unlimited, 24 * gib));
  EXPECT_EQ(24 * gib, lowered_address_space_limit(100 * gib, 24 * gib));
  EXPECT_EQ(24 * gib, lowered_address_space_limit(24 * gib, 24 * gib));
  EXPECT_EQ(2 * gib, lowered_address_space_limit(2 * gib, 24 * gib));  // a lower limit stays
  EXPECT_EQ(unlimited, lowered_address_space_limit(unlimited, 0));     // memory size unknown
}

TEST(MemoryLimit, TheUsableMemoryIsThePhysicalOrTheAddressSpaceLimitWhereLower) {
  const uint64_t physical =
      static_cast<uint64_t>(sysconf(_SC_PHYS_PAGES)) * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
  EXPECT_EQ(physical, physical_memory_bytes());
  EXPECT_LE(usable_memory_bytes(), physical);
  EXPECT_EXIT(
      {
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        limit.rlim_cur = physical / 2;
        setrlimit(RLIMIT_AS, &limit);
        std::_Exit(usable_memory_bytes() == physical / 2 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(ParallelFor, EveryItemRunsOnceOnAThreadOfItsRange) {
  for (int32_t threads : {1, 2, 5}) {
    for (int64_t count : {0, 1, 3, 100}) {
      std::vector<std::atomic<int32_t>> runs(count);
      std::atomic<int32_t> outside{0};
      const int32_t used = parallel_for_threads(count, threads);
      parallel_for(count, threads, [&](int64_t k, int32_t thread) {
        ++runs[k];
        if (thread < 0 || thread >= used) ++outside;
      });
      for (int64_t k = 0; k < count; ++k) EXPECT_EQ(1, runs[k]) << threads << " " << k;
      EXPECT_EQ(0, outside);
    }
  }
  EXPECT_EQ(1, parallel_for_threads(0, 4));
  EXPECT_EQ(3, parallel_for_threads(3, 4));
  EXPECT_EQ(4, parallel_for_threads(100, 4));
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)  // their address space is vast
// Threads are a speed-up only: where no thread can start (no address space is left for a stack),
// the calling thread does all the work, as the worker pool does.
TEST(ParallelFor, WhereNoThreadCanStartTheCallingThreadDoesEverything) {
  EXPECT_EXIT(
      {
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        limit.rlim_cur = static_cast<rlim_t>(pages * sysconf(_SC_PAGESIZE) + (1 << 20));
        setrlimit(RLIMIT_AS, &limit);
        const std::thread::id caller = std::this_thread::get_id();
        int64_t done = 0;  // no thread but the calling one may touch it
        parallel_for(1000, 4, [&](int64_t, int32_t thread) {
          done += thread == 0 && std::this_thread::get_id() == caller ? 1 : 1000000;
        });
        std::_Exit(done == 1000 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}
#endif

TEST(ProgressDisplay, DrawsInPlaceAtMostFourTimesASecondAndErasesOnlyWhatItDrew) {
  int ends[2];
  ASSERT_EQ(0, pipe2(ends, O_NONBLOCK));
  auto drawn = [&] {
    char buffer[512];
    ssize_t count = read(ends[0], buffer, sizeof buffer);
    return std::string(buffer, count > 0 ? static_cast<std::size_t>(count) : 0);
  };
  const auto start = ProgressDisplay::Clock::now();
  const auto ms = [&](int count) { return start + std::chrono::milliseconds(count); };
  ProgressDisplay display(ends[1], true);
  display.pass("solving the conductors", start);
  EXPECT_EQ("\rvornax: solving the conductors\033[K\r", drawn());
  display.solves(1, 8, ms(249));
  EXPECT_EQ("", drawn());
  display.solves(2, 8, ms(250));
  display.solves(3, 8, ms(499));
  EXPECT_EQ("\rvornax: solving the conductors, 2 of 8 done, 0 s\033[K\r", drawn());
  display.solves(4, 8, ms(61999));
  EXPECT_EQ("\rvornax: solving the conductors, 4 of 8 done, 61 s\033[K\r", drawn());
  display.clear();
  display.clear();
  EXPECT_EQ("\r\033[K", drawn());
  close(ends[0]);
  close(ends[1]);
}

// A thread's affinity mask is what affinity_cpus reads; a run limited to one CPU solves on one
// thread, whatever the machine has.
TEST(CpuCount, TheAffinityMaskGivesTheCpusAndTheThreads) {
  cpu_set_t own;
  ASSERT_EQ(0, sched_getaffinity(0, sizeof own, &own));
  std::vector<int32_t> all;
  for (int32_t cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (CPU_ISSET(cpu, &own)) all.push_back(cpu);
  }
  EXPECT_EQ(all, affinity_cpus());
  for (std::size_t count : {std::size_t{1}, std::size_t{2}}) {
    if (count > all.size()) break;
    std::vector<int32_t> seen;
    double usable = 0.0;
    std::thread limited([&] {
      cpu_set_t mask;
      CPU_ZERO(&mask);
      for (std::size_t k = 0; k < count; ++k) CPU_SET(all[all.size() - 1 - k], &mask);
      if (sched_setaffinity(0, sizeof mask, &mask) != 0) return;
      seen = affinity_cpus();
      usable = usable_cpus();
    });
    limited.join();
    ASSERT_EQ(count, seen.size());
    EXPECT_EQ(all.back(), seen.back());
    const double quota = cgroup_cpu_quota();
    EXPECT_EQ(quota > 0.0 && quota < count ? quota : count, usable);
    EXPECT_EQ(static_cast<int32_t>(count), threads_for_cpus(count, nullptr));
  }
}

// Whole CPUs of a share, at least one; VORNAX_THREADS caps the count and never raises it.
TEST(CpuCount, ThreadsAreTheWholeCpusOfTheShareCappedByTheSetting) {
  EXPECT_EQ(1, threads_for_cpus(1.5, nullptr));  // a quota of 150 ms per 100 ms
  EXPECT_EQ(1, threads_for_cpus(0.25, nullptr));
  EXPECT_EQ(3, threads_for_cpus(1.0 / 3 * 9, nullptr));  // 2.9999999999999996: nine CPUs of three
  EXPECT_EQ(2, threads_for_cpus(4.0, "2"));
  EXPECT_EQ(4, threads_for_cpus(4.0, "8"));
  EXPECT_EQ(1, threads_for_cpus(0.5, "8"));
  EXPECT_EQ(3, threads_for_cpus(0.0, "3"));  // CPUs unknown
  EXPECT_EQ(1, threads_for_cpus(0.0, nullptr));
}

namespace {

/// A cgroup tree under a temporary folder, as /sys/fs/cgroup shows it.
struct CgroupTree {
  std::string root;
  CgroupTree() {
    char pattern[] = "/tmp/vornax-cgroup-XXXXXX";
    root = mkdtemp(pattern);
  }
  ~CgroupTree() { std::system(("rm -rf '" + root + "'").c_str()); }
  void write(const std::string& file, const std::string& text) const {
    std::system(("mkdir -p \"$(dirname '" + root + file + "')\"").c_str());
    std::ofstream(root + file) << text;
  }
};

}  // namespace

TEST(CpuCount, TheLowestCgroupQuotaOnThePathToTheRootBinds) {
  EXPECT_EQ(1.5, cpu_max_quota("150000 100000\n"));
  EXPECT_EQ(0.0, cpu_max_quota("max 100000\n"));
  EXPECT_EQ(0.0, cpu_max_quota(""));

  // cgroup v2: the job's quota of 4 CPUs binds its step, which sets none of its own.
  CgroupTree v2;
  const std::string mounts = "30 25 0:26 / /sys/fs/cgroup rw shared:4 - cgroup2 cgroup2 rw\n";
  v2.write("/sys/fs/cgroup/cpu.max", "max 100000\n");
  v2.write("/sys/fs/cgroup/job/cpu.max", "400000 100000\n");
  v2.write("/sys/fs/cgroup/job/step/cpu.max", "max 100000\n");
  EXPECT_EQ(4.0, cgroup_cpu_quota("0::/job/step\n", mounts, v2.root));
  v2.write("/sys/fs/cgroup/job/step/cpu.max", "250000 100000\n");
  EXPECT_EQ(2.5, cgroup_cpu_quota("0::/job/step\n", mounts, v2.root));
  EXPECT_EQ(0.0, cgroup_cpu_quota("0::/\n", mounts, v2.root));

  // cgroup v1, in a container that sees its own cgroup as the root of the hierarchy.
  CgroupTree v1;
  const std::string v1_mounts =
      "40 25 0:30 /batch /sys/fs/cgroup/cpu,cpuacct rw shared:9 - cgroup cgroup rw,cpu,cpuacct\n"
      "41 25 0:31 / /sys/fs/cgroup/memory rw shared:10 - cgroup cgroup rw,memory\n";
  v1.write("/sys/fs/cgroup/cpu,cpuacct/cpu.cfs_quota_us", "300000\n");
  v1.write("/sys/fs/cgroup/cpu,cpuacct/cpu.cfs_period_us", "100000\n");
  v1.write("/sys/fs/cgroup/cpu,cpuacct/42/cpu.cfs_quota_us", "-1\n");
  v1.write("/sys/fs/cgroup/cpu,cpuacct/42/cpu.cfs_period_us", "100000\n");
  const std::string cgroups = "5:memory:/\n4:cpu,cpuacct:/batch/42\n";
  EXPECT_EQ(3.0, cgroup_cpu_quota(cgroups, v1_mounts, v1.root));
  EXPECT_EQ(0.0, cgroup_cpu_quota("4:cpu,cpuacct:/elsewhere\n", v1_mounts, v1.root));
}
