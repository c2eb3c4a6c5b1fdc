// Runs the built vornax binary on panel files and compares its exit status,
// standard output (the time figure aside), standard error and Cap.txt with
// the expected files beside each case in tests/data:
//   NAME.panels  the input
//   NAME.stdout  exact standard output      NAME.stderr  exact standard error (absent: empty)
//   NAME.cap     exact Cap.txt (absent: no Cap.txt may be written)
//   NAME.free    a rejected input whose wording is free: some message, no Cap.txt
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../test_files.h"

namespace {

bool file_exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

void write_file(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
}

struct RunResult {
  int exit_status;
  std::string out;
  std::string err;
  bool has_cap;
  std::string cap;
};

/// A fresh working directory per run, removed afterwards.
class WorkDir {
 public:
  WorkDir() {
    char pattern[] = "/tmp/vornax-e2e-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~WorkDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

/// Runs vornax with `arguments` (already shell-quoted) inside `dir`, after the shell commands
/// `setup` (such as "ulimit -v 65536 && ").
RunResult run_vornax(const WorkDir& dir, const std::string& arguments,
                     const std::string& setup = "") {
  std::string command = "cd '" + dir.path() + "' && " + setup + "'" VORNAX_BINARY "' " + arguments +
                        " > stdout.txt 2> stderr.txt";
  int status = std::system(command.c_str());
  RunResult result;
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = read_file(dir.path() + "/stdout.txt");
  result.err = read_file(dir.path() + "/stderr.txt");
  result.has_cap = file_exists(dir.path() + "/Cap.txt");
  if (result.has_cap) result.cap = read_file(dir.path() + "/Cap.txt");
  return result;
}

RunResult run_on_panels(const WorkDir& dir, const std::string& panels) {
  write_file(dir.path() + "/in.panels", panels);
  return run_vornax(dir, "in.panels");
}

/// The time figure of "Total Execution Times   = T Seconds." replaced by <t>.
std::string normalise_time(const std::string& text) {
  const std::string label = "Total Execution Times   = ";
  const std::string unit = " Seconds.";
  std::size_t start = text.find(label);
  if (start == std::string::npos) return text;
  start += label.size();
  std::size_t end = text.find(unit, start);
  if (end == std::string::npos || text.find('\n', start) < end) return text;
  return text.substr(0, start) + "<t>" + text.substr(end);
}

/// One "Error: " line after the run's opening empty line, and nothing else.
bool is_one_error_message(const std::string& text) {
  const std::string opening = "\nError: ";
  return text.size() > opening.size() + 1 && text.compare(0, opening.size(), opening) == 0 &&
         text.back() == '\n' && text.find('\n', opening.size()) == text.size() - 1;
}

std::vector<std::string> case_names() {
  std::vector<std::string> names;
  DIR* dir = opendir(VORNAX_TEST_DATA);
  if (dir == nullptr) return names;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    const std::string suffix = ".panels";
    if (name.size() > suffix.size() &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
      names.push_back(name.substr(0, name.size() - suffix.size()));
    }
  }
  closedir(dir);
  return names;
}

const char kUsage[] = "Program usage: VORNAX [InputFileName]\n";

/// The phase that bench/run reads from a timing line with its pattern
/// r"vornax: (.+?)\s+([0-9.]+) s$" (then stripped), or "" where that does not match.
std::string timed_phase(const std::string& line) {
  const std::string prefix = "vornax: ";
  const std::string unit = " s";
  if (line.size() <= prefix.size() + unit.size() || line.compare(0, prefix.size(), prefix) != 0 ||
      line.compare(line.size() - unit.size(), unit.size(), unit) != 0) {
    return "";
  }
  const std::size_t seconds_end = line.size() - unit.size();
  const std::size_t seconds = line.find_last_not_of("0123456789.", seconds_end - 1) + 1;
  const std::size_t name_end = line.find_last_not_of(" \t", seconds - 1) + 1;
  if (seconds == seconds_end || name_end == seconds || name_end <= prefix.size()) return "";
  return line.substr(prefix.size(), name_end - prefix.size());
}

/// The six faces of the box [x0, x1] x [y0, y1] x [z0, z1] as panel records of `conductor`,
/// every coordinate multiplied by `scale`.
std::string box_records(int conductor, double scale, double x0, double x1, double y0, double y1,
                        double z0, double z1) {
  const double faces[6][12] = {{x0, y0, z0, x1, y0, z0, x1, y1, z0, x0, y1, z0},
                               {x0, y0, z1, x1, y0, z1, x1, y1, z1, x0, y1, z1},
                               {x0, y0, z0, x1, y0, z0, x1, y0, z1, x0, y0, z1},
                               {x0, y1, z0, x1, y1, z0, x1, y1, z1, x0, y1, z1},
                               {x0, y0, z0, x0, y1, z0, x0, y1, z1, x0, y0, z1},
                               {x1, y0, z0, x1, y1, z0, x1, y1, z1, x1, y0, z1}};
  std::ostringstream text;
  text.precision(17);
  for (const auto& face : faces) {
    text << "Q " << conductor;
    for (double coordinate : face) text << ' ' << coordinate * scale;
    text << '\n';
  }
  return text.str();
}

/// Two wires 1 wide along x under two wires along y, 1 apart, every length times `scale`. The
/// refinement splits the panels along the wires' edges until they are 0.5 long, so the number of
/// panels grows with the scale, without bound.
std::string crossing_bus(double scale) {
  return box_records(1, scale, 0, 5, 1, 2, 0, 1) + box_records(2, scale, 0, 5, 3, 4, 0, 1) +
         box_records(3, scale, 1, 2, 0, 5, 2, 3) + box_records(4, scale, 3, 4, 0, 5, 2, 3);
}

/// Runs `panels` under address-space limits of `from_mib` to `to_mib` MiB. Each run must end
/// with status 1 and either exactly as without a limit or with only the out-of-memory message.
/// Returns how many ran out of memory.
int runs_out_of_memory_cleanly(const std::string& panels, int from_mib, int to_mib) {
  WorkDir dir;
  RunResult unlimited = run_on_panels(dir, panels);
  EXPECT_TRUE(unlimited.has_cap);
  int exhausted = 0;
  for (int mib = from_mib; mib <= to_mib; ++mib) {
    SCOPED_TRACE(mib);
    WorkDir limited;
    write_file(limited.path() + "/in.panels", panels);
    RunResult result =
        run_vornax(limited, "in.panels", "ulimit -v " + std::to_string(mib * 1024) + " && ");
    EXPECT_EQ(1, result.exit_status);
    EXPECT_EQ("", result.err);
    if (result.out == "\nNot enough memory!!\n\n") {
      EXPECT_FALSE(result.has_cap);
      exhausted += 1;
    } else {
      EXPECT_EQ(normalise_time(unlimited.out), normalise_time(result.out));
      EXPECT_EQ(unlimited.cap, result.cap);
    }
  }
  return exhausted;
}

}  // namespace

TEST(EndToEnd, ReferenceCasesMatchByteForByte) {
  std::vector<std::string> names = case_names();
  ASSERT_GE(names.size(), 10u);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    std::string base = std::string(VORNAX_TEST_DATA) + "/" + name;
    WorkDir dir;
    RunResult result = run_on_panels(dir, read_file(base + ".panels"));
    EXPECT_EQ(1, result.exit_status);
    if (file_exists(base + ".free")) {
      EXPECT_FALSE(result.has_cap);
      // One message line after the run's opening empty line.
      EXPECT_TRUE(is_one_error_message(result.out + result.err)) << result.out << result.err;
      continue;
    }
    EXPECT_EQ(normalise_time(read_file(base + ".stdout")), normalise_time(result.out));
    EXPECT_EQ(file_exists(base + ".stderr") ? read_file(base + ".stderr") : "", result.err);
    EXPECT_EQ(file_exists(base + ".cap"), result.has_cap);
    if (file_exists(base + ".cap")) {
      EXPECT_EQ(read_file(base + ".cap"), result.cap);
    }
  }
}

TEST(EndToEnd, GeneratedBusesGiveTheRecordedResults) {
  // Recorded by the first build, whose solves ran one after another over linked lists: sixteen
  // and thirty-two conductors refill the solve lanes many times over.
  for (int k : {8, 16}) {
    SCOPED_TRACE(k);
    WorkDir dir;
    const std::string generate = "cd '" + dir.path() + "' && '" VORNAX_GEN_BINARY "' bus " +
                                 std::to_string(k) + " > in.panels";
    ASSERT_EQ(0, std::system(generate.c_str()));
    RunResult result = run_vornax(dir, "in.panels");
    EXPECT_EQ(1, result.exit_status);
    EXPECT_EQ("", result.err);
    EXPECT_EQ(read_file(std::string(VORNAX_EXAMPLES) + "/../bench/expected/bus" +
                        std::to_string(k) + ".cap"),
              result.cap);
  }
}

TEST(EndToEnd, CommandLineNeedsExactlyOneArgument) {
  WorkDir dir;
  RunResult none = run_vornax(dir, "");
  EXPECT_EQ(1, none.exit_status);
  EXPECT_EQ(kUsage, none.out);
  EXPECT_EQ("", none.err);
  EXPECT_FALSE(none.has_cap);

  RunResult two = run_vornax(dir, "a.panels b.panels");
  EXPECT_EQ(1, two.exit_status);
  EXPECT_EQ(kUsage, two.out);
  EXPECT_FALSE(two.has_cap);
}

TEST(EndToEnd, UnknownInstructionSetPathStopsBeforeTheRun) {
  for (const char* word : {"avx9", "SSE2", "avx512f"}) {
    SCOPED_TRACE(word);
    WorkDir dir;
    write_file(dir.path() + "/in.panels",
               read_file(std::string(VORNAX_TEST_DATA) + "/cube.panels"));
    RunResult result = run_vornax(dir, "in.panels", std::string("VORNAX_ISA=") + word + " ");
    EXPECT_EQ(1, result.exit_status);
    EXPECT_EQ("", result.out);
    EXPECT_EQ(std::string("Error: VORNAX_ISA=") + word +
                  " names no instruction-set path of this processor; it has sse2",
              result.err.substr(0, result.err.find("sse2") + 4));
    EXPECT_EQ(1, std::count(result.err.begin(), result.err.end(), '\n'));
    EXPECT_FALSE(result.has_cap);
  }
}

TEST(EndToEnd, MissingPanelFile) {
  WorkDir dir;
  RunResult result = run_vornax(dir, "no-such-file.panels");
  EXPECT_EQ(1, result.exit_status);
  EXPECT_EQ("\n", result.out);
  EXPECT_EQ("Error: Could not create file.\n", result.err);
  EXPECT_FALSE(result.has_cap);
}

TEST(EndToEnd, ExistingCapFileIsReplacedWhole) {
  WorkDir dir;
  write_file(dir.path() + "/Cap.txt", std::string(10000, 'x'));
  RunResult result = run_on_panels(dir, read_file(std::string(VORNAX_TEST_DATA) + "/cube.panels"));
  EXPECT_EQ(1, result.exit_status);
  EXPECT_EQ(read_file(std::string(VORNAX_TEST_DATA) + "/cube.cap"), result.cap);
}

TEST(EndToEnd, UnwritableCapFileIsReportedWithoutChangingTheConsole) {
  WorkDir dir;
  // A directory in the way cannot be opened as a file, even by root.
  mkdir((dir.path() + "/Cap.txt").c_str(), 0755);
  RunResult result = run_on_panels(dir, read_file(std::string(VORNAX_TEST_DATA) + "/cube.panels"));
  EXPECT_EQ(1, result.exit_status);
  EXPECT_EQ(normalise_time(read_file(std::string(VORNAX_TEST_DATA) + "/cube.stdout")),
            normalise_time(result.out));
  EXPECT_EQ("Error: Could not write Cap.txt.\n", result.err);
}

// bench/run reads the report that VORNAX_TIMING=1 adds on standard error with these patterns and
// in this order of phases; nothing else of the run may change.
TEST(EndToEnd, TimingReportHasTheFormThatBenchRunParses) {
  WorkDir dir;
  write_file(dir.path() + "/in.panels", read_file(std::string(VORNAX_TEST_DATA) + "/cube.panels"));
  RunResult timed =
      run_vornax(dir, "in.panels", "VORNAX_TIMING=1 VORNAX_ISA=sse2 VORNAX_THREADS=1 ");
  EXPECT_EQ(normalise_time(read_file(std::string(VORNAX_TEST_DATA) + "/cube.stdout")),
            normalise_time(timed.out));
  EXPECT_EQ(read_file(std::string(VORNAX_TEST_DATA) + "/cube.cap"), timed.cap);

  std::istringstream lines(timed.err);
  std::string line;
  for (const char* phase : {"read", "refine", "number", "same-origin pairs", "assemble",
                            "factorise", "capacitance", "write"}) {
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(phase, timed_phase(line)) << line;
  }
  // The six faces of the cube are paired unsplit, so P is full: 6 unknowns, 21 entries on and
  // above its diagonal. Without fill-in positions to drop, the factor has P's entries and is
  // exact, and one iteration solves.
  std::getline(lines, line);
  EXPECT_EQ("vornax: panels 6, unknowns 6, P entries 21, PCG iterations 1", line);
  std::getline(lines, line);
  EXPECT_EQ("vornax: solve kernels sse2, factor entries 21, solve threads 1", line);

  for (const char* setting : {"0", "yes", ""}) {
    EXPECT_EQ("", run_vornax(dir, "in.panels", std::string("VORNAX_TIMING=") + setting + " ").err);
  }
}

// The conductor solves run in groups of lanes on up to VORNAX_THREADS threads; the results
// must not depend on how many, nor on a setting that is not a positive count.
TEST(EndToEnd, ResultsDoNotDependOnTheNumberOfSolveThreads) {
  // Forty boxes: more solves than one group of lanes takes, long enough to run side by side. The
  // 8 x 8 bus: large enough for the threads whose groups have ended to share the steps of the
  // last ones.
  for (const char* structure : {"random 40 --seed 3", "bus 8"}) {
    SCOPED_TRACE(structure);
    WorkDir dir;
    const std::string generate =
        "'" VORNAX_GEN_BINARY "' " + std::string(structure) + " > '" + dir.path() + "/in.panels'";
    ASSERT_EQ(0, std::system(generate.c_str()));
    RunResult one = run_vornax(dir, "in.panels", "VORNAX_THREADS=1 ");
    ASSERT_TRUE(one.has_cap);
    for (const char* threads : {"2", "3", "4", "0", "many"}) {
      SCOPED_TRACE(threads);
      std::remove((dir.path() + "/Cap.txt").c_str());
      RunResult result =
          run_vornax(dir, "in.panels", std::string("VORNAX_THREADS=") + threads + " ");
      EXPECT_EQ(normalise_time(one.out), normalise_time(result.out));
      EXPECT_EQ(one.cap, result.cap);
    }
  }
}

// The run's memory is bounded by the address space: wherever an allocation fails (the panel
// vector, the interaction list, the leaf list, the matrix entry blocks and arrays, the solve's
// vectors), the run ends with the one message of exhausted memory. The sanitizer's allocator
// reserves terabytes of address space up front and cannot run under such a limit.
TEST(EndToEnd, ExhaustedMemoryEndsWithOneMessageWhereverItRunsOut) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "the sanitizer build cannot run under ulimit -v";
#endif
  const std::string out_of_memory = "\nNot enough memory!!\n\n";
  {
    // Scaled by 1000, the bus needs millions of panels: far more than 256 MiB hold.
    WorkDir dir;
    write_file(dir.path() + "/in.panels", crossing_bus(1000));
    RunResult result = run_vornax(dir, "in.panels", "ulimit -v 262144 && ");
    EXPECT_EQ(1, result.exit_status);
    EXPECT_EQ(out_of_memory, result.out);
    EXPECT_EQ("", result.err);
    EXPECT_FALSE(result.has_cap);
  }

  // Scaled by 8, the bus needs about 25 MiB of address space. Limits from 7 MiB (a little more
  // than the program itself takes) upwards make memory run out in every pass in turn, from the
  // refinement to the solves. Each run either completes exactly as without a limit or shows
  // only the message.
  const int exhausted = runs_out_of_memory_cleanly(crossing_bus(8), 7, 32);
  EXPECT_GT(exhausted, 5);
  EXPECT_LT(exhausted, 32 - 7 + 1);
}

// Nine conductors make the solves start a second worker thread. When its stack cannot be had,
// the run must go on without it (or end with the message), never abort.
TEST(EndToEnd, ThreadWithoutMemoryForItsStackDoesNotAbortTheRun) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "the sanitizer build cannot run under ulimit -v";
#endif
  std::string panels = "nine unit cubes in a row\n";
  for (int k = 0; k < 9; ++k) panels += box_records(k + 1, 1.0, 2 * k, 2 * k + 1, 0, 1, 0, 1);
  runs_out_of_memory_cleanly(panels, 7, 16);
}

// Without a lower limit, a run limits its address space to the machine's memory, so that a
// structure too large for the machine ends with the message instead of being killed by the
// kernel. The run's panel file is a named pipe, which holds the run while its limit is read.
TEST(EndToEnd, AddressSpaceIsLimitedToTheMachinesMemory) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "the sanitizer build needs its address space unlimited";
#endif
  uint64_t memory =
      static_cast<uint64_t>(sysconf(_SC_PHYS_PAGES)) * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
  struct rlimit inherited;
  ASSERT_EQ(0, getrlimit(RLIMIT_AS, &inherited));
  if (inherited.rlim_cur != RLIM_INFINITY && inherited.rlim_cur <= memory) {
    GTEST_SKIP() << "this test runs under an address-space limit of its own";
  }
  WorkDir dir;
  const std::string fifo = dir.path() + "/in.panels";
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (chdir(dir.path().c_str()) != 0) _exit(3);
    int out = open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, 1);
    execl(VORNAX_BINARY, VORNAX_BINARY, "in.panels", static_cast<char*>(nullptr));
    _exit(3);
  }
  // A writer can open the pipe once the run waits in opening it, after setting its limit; the
  // run then waits to read until the writer closes.
  int writer = -1;
  for (int k = 0; k < 1000 && writer < 0; ++k) {
    writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::string limits = read_file("/proc/" + std::to_string(child) + "/limits");
  if (writer >= 0) {
    close(writer);
  } else {
    kill(child, SIGKILL);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_GE(writer, 0) << "the run never opened its panel file";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);

  // "Max address space   SOFT   HARD   bytes"
  std::size_t line = limits.find("Max address space");
  ASSERT_NE(std::string::npos, line) << limits;
  std::istringstream fields(limits.substr(line + std::string("Max address space").size()));
  std::string soft_limit;
  fields >> soft_limit;
  EXPECT_EQ(std::to_string(memory), soft_limit);
}

namespace {

/// What a terminal keeps of `received`: every run of progress lines, each "\rvornax: ...\033[K\r",
/// that is erased ("\r\033[K") before anything else is written is taken out; "\r\n" is "\n".
std::string kept_on_terminal(std::string received) {
  for (std::size_t start; (start = received.find("\rvornax: ")) != std::string::npos;) {
    std::size_t end = received.find("\033[K\r\r\033[K", start);
    if (end == std::string::npos || received.find('\n', start) < end) break;
    received.erase(start, end + 8 - start);
  }
  for (std::size_t k; (k = received.find("\r\n")) != std::string::npos;) received.erase(k, 1);
  return received;
}

}  // namespace

// After a run, Cap.txt exists if and only if that run completed: an earlier run's result is gone
// after a record cut short, a missing panel file, a failed factorisation, and a run killed
// during its solves.
TEST(EndToEnd, EarlierCapFileIsGoneAfterAFailedOrKilledRun) {
  const std::string data = VORNAX_TEST_DATA;
  const std::string bus = "'" VORNAX_GEN_BINARY "' bus ";
  for (std::string setup : {"cp '" + data + "/err_cut_short.panels' in.panels && ", std::string(),
                            bus + "2 --scale 0.1 > in.panels && "}) {
    SCOPED_TRACE(setup);
    WorkDir dir;
    write_file(dir.path() + "/Cap.txt", read_file(data + "/cube.cap"));
    RunResult result = run_vornax(dir, "in.panels", setup);
    EXPECT_NE("", result.out + result.err);
    EXPECT_FALSE(result.has_cap);
  }

  // The 32 x 32 bus solves for seconds after its factorisation is reported.
  WorkDir dir;
  write_file(dir.path() + "/Cap.txt", read_file(data + "/cube.cap"));
  std::system(("cd '" + dir.path() + "' && " + bus + "32 > in.panels && { VORNAX_TIMING=1 '" +
               VORNAX_BINARY + "' in.panels 2> err.txt & until grep -q factorise err.txt || " +
               "grep -q . out.txt; do sleep 0.01; done; kill -9 $!; wait $!; echo $? > status; } " +
               "> out.txt")
                  .c_str());
  EXPECT_EQ("137\n", read_file(dir.path() + "/status")) << "not killed during the solves";
  EXPECT_FALSE(file_exists(dir.path() + "/Cap.txt"));
}

// The same file under any name: a panel file that is Cap.txt survives its failed run and is
// replaced by the result of its complete run.
TEST(EndToEnd, PanelFileThatIsCapFileIsKeptUntilItsRunCompletes) {
  const std::string data = VORNAX_TEST_DATA;
  WorkDir dir;
  write_file(dir.path() + "/Cap.txt", read_file(data + "/err_cut_short.panels"));
  ASSERT_EQ(0, link((dir.path() + "/Cap.txt").c_str(), (dir.path() + "/in.panels").c_str()));
  EXPECT_EQ(read_file(data + "/err_cut_short.panels"), run_vornax(dir, "in.panels").cap);
  EXPECT_EQ(read_file(data + "/err_cut_short.panels"), run_vornax(dir, "Cap.txt").cap);
  write_file(dir.path() + "/Cap.txt", read_file(data + "/cube.panels"));
  EXPECT_EQ(read_file(data + "/cube.cap"), run_vornax(dir, "Cap.txt").cap);
}

// The working folder is a tiny file system filled up, in a mount namespace of its own.
TEST(EndToEnd, FullDiskLeavesNeitherCapFileNorTemporaryFile) {
  const std::string data = VORNAX_TEST_DATA;
  WorkDir dir;
  std::string run = "cd '" + dir.path() + "' && mkdir full && cp '" + data +
                    "/cube.panels' in.panels && unshare -rm sh -c 'mount -t tmpfs -o size=16k "
                    "tmpfs full && cd full && { cat /dev/zero > filler; '" VORNAX_BINARY
                    "' ../in.panels > ../out.txt 2> ../err.txt; ls -A > ../ls.txt; }' 2> /dev/null";
  if (std::system(run.c_str()) != 0) GTEST_SKIP() << "no tmpfs can be mounted here";
  EXPECT_EQ(normalise_time(read_file(data + "/cube.stdout")),
            normalise_time(read_file(dir.path() + "/out.txt")));
  EXPECT_EQ("Error: Could not write Cap.txt.\n", read_file(dir.path() + "/err.txt"));
  EXPECT_EQ("filler\n", read_file(dir.path() + "/ls.txt"));
}

// On a terminal, standard error shows the running pass, erased before anything else is written,
// so that the terminal ends with exactly the standard output. VORNAX_PROGRESS=0 turns it off.
TEST(EndToEnd, ProgressIsDrawnOnATerminalAndErasedBeforeTheSummaryOrAMessage) {
  const std::string data = VORNAX_TEST_DATA;
  for (std::string run : {"cube 1", "cube 0", "err_duplicate 1"}) {
    SCOPED_TRACE(run);
    const std::string name = run.substr(0, run.find(' '));
    WorkDir dir;
    std::system(("cd '" + dir.path() + "' && cp '" + data + "/" + name +
                 ".panels' in.panels && VORNAX_PROGRESS=" + run.back() +
                 " script -qec \"'" VORNAX_BINARY "' in.panels\" /dev/null < /dev/null > tty.txt")
                    .c_str());
    const std::string received = read_file(dir.path() + "/tty.txt");
    EXPECT_EQ(run.back() == '1', received.find("\rvornax: refining") != std::string::npos);
    EXPECT_EQ(normalise_time(read_file(data + "/" + name + ".stdout")),
              normalise_time(kept_on_terminal(received)))
        << received;
  }
}
