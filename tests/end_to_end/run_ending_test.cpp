// How a run of vornax ends when something outside it fails: a signal while its result is being
// written, a console that cannot be written to, a machine that gives it fewer CPUs than it has.
// After every one, Cap.txt exists if and only if the run completed.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../test_files.h"
#include "common/cpu_count.h"

namespace {

/// The names in folder `path`, sorted.
std::vector<std::string> folder_names(const std::string& path) {
  std::vector<std::string> names;
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return names;
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

/// A fresh working folder holding the panel file in.panels, a copy of test case `name`.
class CaseDir {
 public:
  explicit CaseDir(const std::string& name) {
    char pattern[] = "/tmp/vornax-ending-XXXXXX";
    path_ = mkdtemp(pattern);
    std::ofstream(path_ + "/in.panels") << read_file(VORNAX_TEST_DATA "/" + name + ".panels");
  }
  ~CaseDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

/// The time figure of the summary replaced by <t>.
std::string normalise_time(std::string text) {
  const std::string label = "Times   = ";
  const std::size_t start = text.find(label);
  const std::size_t end = text.find(" Seconds.", start);
  if (start == std::string::npos || end == std::string::npos) return text;
  return text.replace(start + label.size(), end - start - label.size(), "<t>");
}

/// In a child process about to become the run: the working folder, standard output to
/// stdout.txt, every signal at its default and unblocked (a test runner may ignore some), and
/// no core files.
void prepare_child(const std::string& dir) {
  if (chdir(dir.c_str()) != 0) _exit(126);
  const int out = open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0600);
  dup2(out, STDOUT_FILENO);
  close(out);
  for (int s = 1; s < NSIG; ++s) signal(s, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  const struct rlimit no_core = {0, 0};
  setrlimit(RLIMIT_CORE, &no_core);
}

/// Reads what arrives on `fd` into `seen` until it holds `wanted` or the writer is gone; false
/// when it never came. A minute without anything arriving counts as a hang.
bool read_until(int fd, std::string& seen, const std::string& wanted) {
  while (wanted.empty() || seen.find(wanted) == std::string::npos) {
    struct pollfd ready = {fd, POLLIN, 0};
    if (poll(&ready, 1, 60000) <= 0) return false;
    char buffer[4096];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) return wanted.empty();
    seen.append(buffer, static_cast<std::size_t>(got));
  }
  return true;
}

}  // namespace

// A FIFO under the name of the run's temporary file holds the run in its creation, with the
// progress line "writing Cap.txt" drawn on its terminal. Each signal that ends a run then ends
// it with that signal, without the FIFO, without Cap.txt, and with the line erased.
TEST(RunEnding, EverySignalThatEndsTheRunRemovesTheTemporaryFileAndErasesTheLine) {
  const std::string expected_out = normalise_time(read_file(VORNAX_TEST_DATA "/cube.stdout"));
  for (int signal_number : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGXCPU, SIGXFSZ, SIGUSR1, SIGUSR2,
                            SIGALRM, SIGVTALRM, SIGPROF, SIGIO, SIGPWR, SIGRTMIN, SIGRTMAX}) {
    SCOPED_TRACE(strsignal(signal_number));
    CaseDir dir("cube");
    const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(0, grantpt(terminal));
    ASSERT_EQ(0, unlockpt(terminal));
    const std::string terminal_name = ptsname(terminal);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      prepare_child(dir.path());
      // The process keeps its id through exec, and the run names its temporary file after it.
      const std::string temporary = "Cap.txt." + std::to_string(getpid()) + ".tmp";
      if (mkfifo(temporary.c_str(), 0600) != 0) _exit(126);
      const int err = open(terminal_name.c_str(), O_RDWR | O_NOCTTY);
      dup2(err, STDERR_FILENO);
      close(err);
      execl(VORNAX_BINARY, VORNAX_BINARY, "in.panels", static_cast<char*>(nullptr));
      _exit(127);
    }
    std::string seen;
    const bool held = read_until(terminal, seen, "vornax: writing Cap.txt");
    kill(child, held ? signal_number : SIGKILL);
    // Until the run has closed the terminal, by ending; one that outlives a minute is ended.
    read_until(terminal, seen, "");
    close(terminal);
    int status = 0;
    if (waitpid(child, &status, WNOHANG) == 0) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
    }
    ASSERT_TRUE(held) << seen;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
    EXPECT_EQ((std::vector<std::string>{"in.panels", "stdout.txt"}), folder_names(dir.path()));
    EXPECT_EQ(expected_out, normalise_time(read_file(dir.path() + "/stdout.txt")));
    // The last thing on the terminal erases the line that was drawn before it.
    const std::size_t drawn = seen.rfind("\rvornax: writing Cap.txt\033[K\r");
    ASSERT_NE(std::string::npos, drawn) << seen;
    EXPECT_EQ("\r\033[K", seen.substr(seen.find("\033[K\r", drawn) + 4)) << seen;
  }
}

// The summary goes out before Cap.txt is written: a standard output that is a pipe nobody reads
// any more, or a full device, loses the summary but not the result.
TEST(RunEnding, AConsoleThatCannotBeWrittenToStillGetsTheCompleteResult) {
  for (const char* console : {"closed pipe", "/dev/full"}) {
    SCOPED_TRACE(console);
    CaseDir dir("bus2");
    int ends[2];
    ASSERT_EQ(0, pipe(ends));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      prepare_child(dir.path());
      const int out = console[0] == '/' ? open(console, O_WRONLY) : ends[1];
      close(ends[0]);
      dup2(out, STDOUT_FILENO);
      execl(VORNAX_BINARY, VORNAX_BINARY, "in.panels", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(ends[0]);
    close(ends[1]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(read_file(VORNAX_TEST_DATA "/bus2.cap"), read_file(dir.path() + "/Cap.txt"));
    EXPECT_EQ((std::vector<std::string>{"Cap.txt", "in.panels", "stdout.txt"}),
              folder_names(dir.path()));
  }
}

// An early failure, after the one argument is there, takes an earlier run's result along.
TEST(RunEnding, AnUnusableInstructionSetLeavesNoEarlierResult) {
  CaseDir dir("cube");
  std::ofstream(dir.path() + "/Cap.txt") << "old\n";
  const std::string command = "cd '" + dir.path() +
                              "' && VORNAX_ISA=avx9 '" VORNAX_BINARY
                              "' in.panels > stdout.txt 2> stderr.txt";
  const int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
  EXPECT_EQ(0u, read_file(dir.path() + "/stderr.txt").find("Error: VORNAX_ISA=avx9 names no "));
  EXPECT_EQ((std::vector<std::string>{"in.panels", "stderr.txt", "stdout.txt"}),
            folder_names(dir.path()));
}

// The solves run one thread per CPU that the run may use (no more than a cgroup quota allows):
// under taskset, the CPUs it names.
TEST(RunEnding, SolveThreadsFollowTheCpusTheRunMayUse) {
  const std::vector<int32_t> cpus = affinity_cpus();  // checked against the mask in CpuCount
  const double quota = cgroup_cpu_quota();
  auto allowed = [quota](int count) {
    return quota > 0.0 ? std::max(1, std::min(count, static_cast<int>(quota))) : count;
  };
  // Sixteen conductors: enough groups of lanes for every thread of a large machine to start.
  CaseDir dir("bus2");
  const std::string generate = "'" VORNAX_GEN_BINARY "' bus 8 > '" + dir.path() + "/in.panels'";
  ASSERT_EQ(0, std::system(generate.c_str()));
  auto reported_threads = [&](const std::string& prefix) {
    const std::string command = "cd '" + dir.path() +
                                "' && env -u VORNAX_THREADS VORNAX_TIMING=1 " + prefix +
                                "'" VORNAX_BINARY "' in.panels > /dev/null 2> err.txt";
    std::system(command.c_str());
    const std::string err = read_file(dir.path() + "/err.txt");
    const std::string label = "solve threads ";
    const std::size_t at = err.rfind(label);
    return at == std::string::npos ? -1 : std::atoi(err.c_str() + at + label.size());
  };
  EXPECT_EQ(allowed(static_cast<int>(cpus.size())), reported_threads(""));
  if (std::system("taskset -c 0 true > /dev/null 2>&1") != 0) GTEST_SKIP() << "no taskset here";
  EXPECT_EQ(1, reported_threads("taskset -c " + std::to_string(cpus[0]) + " "));
  if (cpus.size() >= 2) {
    const std::string two = std::to_string(cpus[0]) + "," + std::to_string(cpus[1]);
    EXPECT_EQ(allowed(2), reported_threads("taskset -c " + two + " "));
  }
}
