// The memory a level counts, on which the decision to solve another level rests, against the
// peak that the operating system measures; and how an extraction ends when memory runs short.
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include "example_structure.h"
#include "fine/mesh/feature_scale.h"
#include "fine/program/extraction.h"
#include "fine/solve/solve_level.h"

namespace {

FineStructure example(const char* name) {
  std::ifstream in(std::string(VORNAX_EXAMPLES) + "/" + name);
  FineStructure structure;
  EXPECT_EQ("", read_fine_structure(in, name, structure));
  return structure;
}

}  // namespace

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)  // their allocators keep more
namespace {

/// A field of /proc/self/status in bytes, such as "VmRSS:" or "VmHWM:".
int64_t status_bytes(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, field.size(), field) != 0) continue;
    int64_t kib = 0;
    std::istringstream(line.substr(field.size())) >> kib;
    return 1024 * kib;
  }
  return -1;
}

/// A crossing bus of k by k wires (1 wide, pitch 2, the upper ones 1 above the lower): 2k boxes,
/// six panels each.
FineStructure crossing_bus(int k) {
  std::ostringstream file;
  file << "crossing bus, metres\n";
  const int length = 2 * k + 1;
  for (int w = 0; w < 2 * k; ++w) {
    const bool upper = w >= k;
    const int across = 2 * (w % k) + 1;
    const double lo[3] = {upper ? across : 0.0, upper ? 0.0 : across, upper ? 2.0 : 0.0};
    const double hi[3] = {upper ? across + 1.0 : length, upper ? length : across + 1.0, lo[2] + 1};
    write_box_panels(file, std::to_string(w + 1), lo, hi);
  }
  return structure_from_text(file.str(), "bus");
}

}  // namespace

/// The peak growth of a level (m = `level` of `structure` on `threads` threads, the level below
/// solved first) measured in a process of its own, and the level's count: {measured, counted}.
std::pair<double, double> measured_and_counted(const FineStructure& structure, int32_t level,
                                               int32_t threads) {
  int ends[2];
  EXPECT_EQ(0, pipe(ends));
  const pid_t child = fork();
  EXPECT_GE(child, 0);
  if (child == 0) {
    // Every array of more than 64 KiB in a mapping of its own that is returned when it is freed:
    // the resident memory is then that of the arrays alive, whichever thread made them.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024);
    malloc_trim(0);  // what the tests before left free is given back, not reused unseen
    const std::vector<double> feature = feature_scales(structure);
    const LevelSettings settings = level_settings_for(0.01, threads, best_instruction_set());
    const int64_t before = status_bytes("VmRSS:");
    const LevelResult below = solve_level(structure, feature, level - 1, settings, nullptr);
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
    const LevelResult result = solve_level(structure, feature, level, settings, &below);
    const double sizes[2] = {static_cast<double>(status_bytes("VmHWM:") - before), result.bytes};
    const bool written = write(ends[1], sizes, sizeof sizes) == sizeof sizes;
    _exit(written ? 0 : 1);
  }
  close(ends[1]);
  double sizes[2] = {0, 0};
  const bool read_whole = read(ends[0], sizes, sizeof sizes) == sizeof sizes;
  close(ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(read_whole && WIFEXITED(status) && WEXITSTATUS(status) == 0);
  return {sizes[0], sizes[1]};
}

TEST(LevelMemory, TheCountIsTheMeasuredPeakWithinATenth) {
  const auto [measured, counted] = measured_and_counted(example("bus4x4.txt"), 5, 1);
  EXPECT_GT(measured, 20e6);  // a level of some size: not the process's own noise
  EXPECT_NEAR(counted, measured, 0.1 * measured)
      << "counted " << counted << " measured " << measured;
}

// Two groups of solves on two threads: each thread's vectors and far-field work space (the
// accurate product's multipoles in half the lanes and its locals of one path, which the
// iterations' expansions share) are counted once per thread.
TEST(LevelMemory, TheCountOfTwoSolvingThreadsIsTheMeasuredPeakWithinAFifth) {
  const FineStructure bus = crossing_bus(6);
  ASSERT_EQ(12u, bus.conductors.size());
  const auto [measured, counted] = measured_and_counted(bus, 4, 2);
  EXPECT_GT(measured, 20e6);
  EXPECT_NEAR(counted, measured, 0.2 * measured)
      << "counted " << counted << " measured " << measured;
}
#endif

TEST(LevelMemory, AnExtractionWithoutRoomForThreeLevelsEndsWithoutAnEstimate) {
  FineOptions options;
  options.instruction_set = best_instruction_set();
  options.memory_bytes = 1;
  const FineResult result = extract_fine(example("bus2x2.txt"), options);
  EXPECT_EQ(FineEnd::no_estimate, result.end);
  EXPECT_EQ(1u, result.levels.size());
}
