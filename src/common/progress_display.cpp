#include "common/progress_display.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Carriage return and "erase to the end of the line".
const char kErase[] = "\r\033[K";

// The descriptor that holds a drawn line, -1 when none is drawn. Fatal paths and signal
// handlers, which cannot reach the display, erase the line through it.
std::atomic<int> drawn_line_fd{-1};

const auto kRedrawInterval = std::chrono::milliseconds(250);

void write_all(int fd, const char* text, std::size_t length) {
  while (length > 0) {
    ssize_t written = write(fd, text, length);
    if (written <= 0) return;  // a display that cannot be written to is not worth a failure
    text += written;
    length -= static_cast<std::size_t>(written);
  }
}

}  // namespace

ProgressDisplay::ProgressDisplay() : fd_(STDERR_FILENO), enabled_(false) {
  const char* setting = std::getenv("VORNAX_PROGRESS");
  bool switched_off = setting != nullptr && std::strcmp(setting, "0") == 0;
  enabled_ = !switched_off && isatty(STDERR_FILENO) == 1;
}

ProgressDisplay::ProgressDisplay(int fd, bool enabled) : fd_(fd), enabled_(enabled) {}

void ProgressDisplay::pass(const char* name, Clock::time_point now) {
  if (!enabled_) return;
  pass_name_ = name;
  pass_start_ = now;
  draw(name, now);
}

void ProgressDisplay::solves(int32_t done, int32_t total, Clock::time_point now) {
  if (!enabled_ || now - last_draw_ < kRedrawInterval) return;
  auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now - pass_start_).count();
  char text[160];
  std::snprintf(text, sizeof text, "%.100s, %d of %d done, %lld s", pass_name_, done, total,
                static_cast<long long>(seconds));
  draw(text, now);
}

void ProgressDisplay::clear() {
  if (enabled_) erase_progress_line();
}

void ProgressDisplay::draw(const char* text, Clock::time_point now) {
  // The line is rewritten from its start and the rest of the old one erased; the cursor then
  // returns to the start, so that a message printed without erasing the line first still
  // overwrites it instead of being appended to it.
  char line[200];
  int length = std::snprintf(line, sizeof line, "\rvornax: %.160s\033[K\r", text);
  if (length < 0) return;
  drawn_line_fd.store(fd_);
  write_all(fd_, line, static_cast<std::size_t>(length));
  last_draw_ = now;
}

void erase_progress_line() {
  int fd = drawn_line_fd.exchange(-1);
  if (fd >= 0) write_all(fd, kErase, sizeof kErase - 1);
}
