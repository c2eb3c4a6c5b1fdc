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

}  // namespace

TEST(LevelMemory, TheCountIsTheMeasuredPeakWithinATenth) {
  int ends[2];
  ASSERT_EQ(0, pipe(ends));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // In a process of its own, every array of more than 64 KiB in a mapping of its own that is
    // returned when it is freed: the resident memory is then that of the arrays alive.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024);
    const FineStructure bus = example("bus4x4.txt");
    const std::vector<double> feature = feature_scales(bus);
    const LevelSettings settings = level_settings_for(0.01, 1, best_instruction_set());
    const int64_t before = status_bytes("VmRSS:");
    const LevelResult below = solve_level(bus, feature, 4, settings, nullptr);
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
    const LevelResult level = solve_level(bus, feature, 5, settings, &below);
    const double sizes[2] = {static_cast<double>(status_bytes("VmHWM:") - before), level.bytes};
    const bool written = write(ends[1], sizes, sizeof sizes) == sizeof sizes;
    _exit(written ? 0 : 1);
  }
  close(ends[1]);
  double sizes[2] = {0, 0};  // measured, counted
  const bool read_whole = read(ends[0], sizes, sizeof sizes) == sizeof sizes;
  close(ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(read_whole && WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_GT(sizes[0], 20e6);  // a level of some size: not the process's own noise
  EXPECT_NEAR(sizes[1], sizes[0], 0.1 * sizes[0])
      << "counted " << sizes[1] << " measured " << sizes[0];
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
