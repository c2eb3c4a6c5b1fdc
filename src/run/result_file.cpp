#include "run/result_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>

namespace {

// The temporary file's name, where a signal handler can read it, and whether that file exists.
// The name is complete before the flag is set.
char temporary_name[4096];
std::atomic<bool> temporary_exists{false};

}  // namespace

void remove_stale_result(const char* result_name, const char* panel_file_name) {
  struct stat result;
  struct stat panel_file;
  if (stat(result_name, &result) == 0 && stat(panel_file_name, &panel_file) == 0 &&
      result.st_dev == panel_file.st_dev && result.st_ino == panel_file.st_ino) {
    return;
  }
  // A failure leaves the file in place; writing the result over it then fails and says so.
  unlink(result_name);
}

ResultFile::ResultFile(const std::string& name) : name_(name), pending_(false) {
  // Beside the result, on the same file system, so that the rename replaces it in one step.
  std::string temporary = name + "." + std::to_string(getpid()) + ".tmp";
  if (temporary.size() >= sizeof temporary_name) {
    file_.setstate(std::ios::failbit);
    return;
  }
  std::memcpy(temporary_name, temporary.c_str(), temporary.size() + 1);
  temporary_exists.store(true);
  file_.open(temporary_name, std::ios::out | std::ios::trunc);
  pending_ = file_.is_open();
  if (!pending_) temporary_exists.store(false);
}

ResultFile::~ResultFile() {
  if (!pending_) return;
  file_.close();
  discard_temporary_result();
}

bool ResultFile::commit() {
  if (!pending_) return false;
  file_.close();
  pending_ = false;
  if (!file_.fail() && std::rename(temporary_name, name_.c_str()) == 0) {
    temporary_exists.store(false);
    return true;
  }
  discard_temporary_result();
  return false;
}

void discard_temporary_result() {
  if (temporary_exists.exchange(false)) unlink(temporary_name);
}
