#include "run/termination_cleanup.h"

#include <signal.h>

#include <cstdlib>

#include "common/progress_display.h"
#include "run/result_file.h"

namespace {

void clean_up() {
  discard_temporary_result();
  erase_progress_line();
}

/// SA_RESETHAND has restored the default action by now; the signal raised again stays blocked
/// until the handler returns and then ends the process with its default action.
void clean_up_and_end(int signal_number) {
  clean_up();
  raise(signal_number);
}

void handle(int signal_number) {
  struct sigaction action = {};
  action.sa_handler = clean_up_and_end;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  struct sigaction previous;
  if (sigaction(signal_number, &action, &previous) == 0 && previous.sa_handler == SIG_IGN) {
    sigaction(signal_number, &previous, nullptr);
  }
}

}  // namespace

void clean_up_at_termination() {
  std::atexit(clean_up);
  handle(SIGINT);
  handle(SIGTERM);
}
