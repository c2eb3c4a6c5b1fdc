#pragma once

#include <fstream>
#include <string>

/// The name of the file that holds a run's result, in the working folder.
constexpr char kResultFileName[] = "Cap.txt";

/// Removes `result_name` left by an earlier run, so that after this run it exists only if this
/// run wrote it. It is kept when it is the panel file itself (the same device and inode, under
/// whatever name); one that cannot be removed (a directory, a read-only folder) is left as it is.
void remove_stale_result(const char* result_name, const char* panel_file_name);

/// A result file that is written whole or not at all. The text goes to a temporary file beside
/// it, which is flushed to disk and renamed onto the result's name once it is complete and
/// closed. One exists at a time: its temporary file is what discard_temporary_result() removes.
class ResultFile {
 public:
  /// Claims the temporary name beside `name`: from here on discard_temporary_result() removes
  /// whatever is created under it.
  explicit ResultFile(const std::string& name);
  /// Removes the temporary file unless it was committed.
  ~ResultFile();
  ResultFile(const ResultFile&) = delete;
  ResultFile& operator=(const ResultFile&) = delete;

  /// Creates the temporary file and returns the stream to write the result to; when the file
  /// cannot be created, the stream is failed.
  std::ostream& create();
  /// Closes the temporary file, flushes it to disk, renames it onto the name and flushes the
  /// folder. Returns false when the file could not be created, a write, the close or the flush
  /// failed, or the rename failed; the temporary file is then removed and whatever the name
  /// held stays.
  bool commit();

 private:
  std::string name_;    // the result's name
  std::ofstream file_;  // the temporary file, open until commit
  bool claimed_;        // the temporary name is claimed and neither renamed nor given up
};

/// Removes the temporary file of the ResultFile being written, if any. Async-signal-safe, so
/// that an interrupted run can call it from its signal handler.
void discard_temporary_result();
