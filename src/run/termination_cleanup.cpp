#include "run/termination_cleanup.h"

#include <pthread.h>
#include <signal.h>

#include <cstdlib>

#include "common/progress_display.h"
#include "run/result_file.h"

namespace {

// Signals whose default action ends the process and that arrive from outside: a user, a terminal,
// a batch system's limits, a timer.
const int kEndingSignals[] = {SIGHUP,  SIGINT,  SIGQUIT,   SIGTERM, SIGXCPU, SIGXFSZ, SIGUSR1,
                              SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSTKFLT};
// Faults, raised by the thread that caused them; they are handled where they happen.
const int kFaultSignals[] = {SIGILL, SIGABRT, SIGBUS, SIGFPE, SIGSEGV, SIGSYS};

pthread_t writing_thread;  // the thread that creates and renames the result file

void clean_up() {
  discard_temporary_result();
  erase_progress_line();
}

bool is_fault(int signal_number) {
  for (int fault : kFaultSignals) {
    if (fault == signal_number) return true;
  }
  return false;
}

/// Runs with every handled signal blocked. On another thread the signal is passed on to the
/// writing thread, whose creation or rename of the file it then waits for. The signal raised
/// again after the default action is restored stays blocked until the handler returns, and then
/// ends the process with that default action.
void clean_up_and_end(int signal_number) {
  if (!is_fault(signal_number) && !pthread_equal(pthread_self(), writing_thread)) {
    pthread_kill(writing_thread, signal_number);
    return;
  }
  clean_up();
  struct sigaction default_action = {};
  default_action.sa_handler = SIG_DFL;
  sigemptyset(&default_action.sa_mask);
  sigaction(signal_number, &default_action, nullptr);
  raise(signal_number);
}

/// Takes `signal_number` over unless someone else already has: ignored or handled.
void handle(int signal_number, const sigset_t& blocked) {
  struct sigaction previous;
  if (sigaction(signal_number, nullptr, &previous) != 0 || previous.sa_handler != SIG_DFL) return;
  struct sigaction action = {};
  action.sa_handler = clean_up_and_end;
  action.sa_mask = blocked;
  action.sa_flags = SA_RESTART;
  sigaction(signal_number, &action, nullptr);
}

}  // namespace

void clean_up_at_termination() {
  writing_thread = pthread_self();
  std::atexit(clean_up);
  sigset_t blocked;
  sigemptyset(&blocked);
  for (int signal_number : kEndingSignals) sigaddset(&blocked, signal_number);
  for (int signal_number : kFaultSignals) sigaddset(&blocked, signal_number);
  for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX; ++signal_number) {
    sigaddset(&blocked, signal_number);
  }
  for (int signal_number : kEndingSignals) handle(signal_number, blocked);
  for (int signal_number : kFaultSignals) handle(signal_number, blocked);
  for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX; ++signal_number) {
    handle(signal_number, blocked);
  }
  struct sigaction previous;
  if (sigaction(SIGPIPE, nullptr, &previous) == 0 && previous.sa_handler == SIG_DFL) {
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
  }
}
