#pragma once

#include <chrono>
#include <cstdint>

/// One line of progress on a terminal, redrawn in place: the pass that is running and, during
/// the solves, the conductors solved and the time spent on them. The line is meant for a person
/// watching a long run; a display that is not enabled writes nothing at all.
class ProgressDisplay {
 public:
  using Clock = std::chrono::steady_clock;

  /// A display on standard error, enabled when that is a terminal and the environment variable
  /// VORNAX_PROGRESS is not "0".
  ProgressDisplay();
  /// A display on the file descriptor `fd`, drawn only when `enabled`.
  ProgressDisplay(int fd, bool enabled);

  bool enabled() const { return enabled_; }

  /// Shows `name` as the pass now running, at once; the time of the pass counts from `now`.
  void pass(const char* name, Clock::time_point now = Clock::now());
  /// Shows `done` of `total` conductors solved and the time since the pass began. Redrawn at
  /// most four times a second, so the main thread may call it as often as it likes.
  void solves(int32_t done, int32_t total, Clock::time_point now = Clock::now());
  /// Erases the line, leaving the cursor where the line began.
  void clear();

 private:
  void draw(const char* text, Clock::time_point now);

  int fd_;                          // where the line is drawn
  bool enabled_;                    // false: nothing is ever written
  const char* pass_name_ = "";      // the pass shown, a string that outlives the display
  Clock::time_point pass_start_{};  // when the pass shown began
  Clock::time_point last_draw_{};   // when the line was last drawn
};

/// Erases the progress line if one is drawn. Fatal paths call it before they print their
/// message, so that the line never stays mixed into it. Async-signal-safe.
void erase_progress_line();
