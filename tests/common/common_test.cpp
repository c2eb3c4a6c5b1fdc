#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/fatal.h"
#include "common/memory_limit.h"
#include "common/progress_display.h"
#include "common/run_clock.h"

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
