#include "tools/layout/klayout_runner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

bool is_executable_file(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

bool is_readable_file(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), R_OK) == 0;
}

/// The folder of the running program, from /proc; "" where that cannot be read.
std::string program_folder() {
  char path[4096];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return "";
  std::string program(path, static_cast<size_t>(length));
  return program.substr(0, program.rfind('/'));
}

}  // namespace

std::string find_klayout() {
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "";
  for (size_t from = 0; from <= folders.size();) {
    size_t to = folders.find(':', from);
    if (to == std::string::npos) to = folders.size();
    std::string folder = folders.substr(from, to - from);
    std::string candidate = (folder.empty() ? "." : folder) + "/klayout";
    if (is_executable_file(candidate)) return candidate;
    from = to + 1;
  }
  return "";
}

std::string find_layout_script(std::string& looked_in) {
  const char kScript[] = "vornax_layout.py";
  std::vector<std::string> places;
  std::string beside = program_folder();
  if (!beside.empty()) {
    places.push_back(beside);
    places.push_back(beside + "/" VORNAX_LAYOUT_INSTALLED_DIR);
  }
  places.push_back(VORNAX_LAYOUT_SOURCE_DIR);
  looked_in.clear();
  for (const std::string& place : places) {
    std::string candidate = place + "/" + kScript;
    if (is_readable_file(candidate)) return candidate;
    looked_in += (looked_in.empty() ? "" : ", ") + candidate;
  }
  return "";
}

int run_klayout(const std::string& klayout, const std::string& script,
                const std::vector<std::pair<std::string, std::string>>& variables,
                const std::string& log_file) {
  std::vector<std::string> arguments = {klayout, "-b", "-r", script};
  for (const auto& variable : variables) {
    arguments.push_back("-rd");
    arguments.push_back(variable.first + "=" + variable.second);
  }
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(&argument[0]);
  argv.push_back(nullptr);

  pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    int log = open(log_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int nothing = open("/dev/null", O_RDONLY);
    if (log < 0 || nothing < 0) _exit(127);
    dup2(nothing, 0);
    dup2(log, 1);
    dup2(log, 2);
    execv(klayout.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
