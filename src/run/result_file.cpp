#include "run/result_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// The temporary file's name, where a signal handler can read it, and whether that name is
// claimed. The name is complete before the flag is set.
char temporary_name[4096];
std::atomic<bool> temporary_claimed{false};

/// Flushes the file or folder `name` to disk; false when the disk reports that it could not.
/// A file system that keeps nothing to flush (EINVAL), and a name that cannot be opened again
/// for reading (a umask that took the owner's read permission), count as done.
bool flush_to_disk(const char* name, int flags) {
  const int fd = open(name, O_RDONLY | O_CLOEXEC | flags);
  if (fd < 0) return true;
  const bool flushed = fsync(fd) == 0 || errno == EINVAL;
  close(fd);
  return flushed;
}

/// The folder that holds `name`: "." for a bare name.
std::string folder_of(const std::string& name) {
  const std::size_t slash = name.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : name.substr(0, slash);
}

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

ResultFile::ResultFile(const std::string& name) : name_(name), claimed_(false) {
  // Beside the result, on the same file system, so that the rename replaces it in one step.
  std::string temporary = name + "." + std::to_string(getpid()) + ".tmp";
  if (temporary.size() >= sizeof temporary_name) return;
  std::memcpy(temporary_name, temporary.c_str(), temporary.size() + 1);
  temporary_claimed.store(true);
  claimed_ = true;
}

ResultFile::~ResultFile() {
  if (!claimed_) return;
  file_.close();
  discard_temporary_result();
}

std::ostream& ResultFile::create() {
  if (claimed_) file_.open(temporary_name, std::ios::out | std::ios::trunc);
  if (!file_.is_open()) file_.setstate(std::ios::failbit);
  return file_;
}

bool ResultFile::commit() {
  if (!claimed_) return false;
  const bool opened = file_.is_open();
  file_.close();
  claimed_ = false;
  if (opened && !file_.fail() && flush_to_disk(temporary_name, 0) &&
      std::rename(temporary_name, name_.c_str()) == 0) {
    temporary_claimed.store(false);
    // The rename itself is durable only once the folder is on disk; the result is complete
    // either way, so a folder that cannot be flushed does not undo it.
    flush_to_disk(folder_of(name_).c_str(), O_DIRECTORY);
    return true;
  }
  discard_temporary_result();
  return false;
}

void discard_temporary_result() {
  if (temporary_claimed.exchange(false)) unlink(temporary_name);
}
