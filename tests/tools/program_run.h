#pragma once
// Running a companion program from a test, and the files it reads.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "../test_files.h"

namespace tools_testing {

struct ProgramRun {
  int status;       // exit status, -1 when killed
  std::string out;  // standard output
  std::string err;  // standard error
};

inline ProgramRun run_program(const std::string& command) {
  char dir[] = "/tmp/vornax-tools-XXXXXX";
  std::string d = mkdtemp(dir);
  int status = std::system((command + " >" + d + "/out 2>" + d + "/err").c_str());
  ProgramRun result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(d + "/out"),
                    read_file(d + "/err")};
  std::system(("rm -rf " + d).c_str());
  return result;
}

inline std::string write_temp(const std::string& content) {
  char path[] = "/tmp/vornax-tools-XXXXXX";
  close(mkstemp(path));
  std::ofstream(path) << content;
  return path;
}

inline int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace tools_testing
