// Runs the built vornax binary on panel files and compares its exit status,
// standard output (the time figure aside), standard error and Cap.txt with
// the expected files beside each case in tests/data:
//   NAME.panels  the input
//   NAME.stdout  exact standard output      NAME.stderr  exact standard error (absent: empty)
//   NAME.cap     exact Cap.txt (absent: no Cap.txt may be written)
//   NAME.free    a rejected input whose wording is free: some message, no Cap.txt
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

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

/// Runs vornax with `arguments` (already shell-quoted) inside `dir`.
RunResult run_vornax(const WorkDir& dir, const std::string& arguments) {
  std::string command =
      "cd '" + dir.path() + "' && '" VORNAX_BINARY "' " + arguments + " > stdout.txt 2> stderr.txt";
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
