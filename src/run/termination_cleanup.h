#pragma once

/// Makes every end of the process that can be caught leave the working folder and the terminal
/// clean: the temporary result file is removed and a drawn progress line erased
///  - at exit;
///  - on every signal whose default action ends the process (SIGHUP, SIGINT, SIGQUIT, SIGTERM,
///    SIGXCPU, SIGXFSZ, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGIO, SIGPWR, the
///    real-time signals, and the faults SIGILL, SIGABRT, SIGBUS, SIGFPE, SIGSEGV, SIGSYS), which
///    then ends the process as it would have without the handler: with that signal.
/// SIGPIPE is ignored instead, so that a closed console fails its writes rather than ending a
/// run whose result is still to be written. A signal that is ignored or handled by someone else
/// (nohup, a sanitizer, the MPI library) when this is called keeps that. Call once, from the
/// thread that writes the result: a signal that another thread receives is passed on to it, so
/// that the clean-up never runs while that thread is still creating the file.
void clean_up_at_termination();
