#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fine/solve/solve_level.h"

/// What differs between vornax-fine as one process and as one of several that share a run:
/// which of them reads the input, speaks and writes Cap.txt, and how they share the machine's
/// memory and the solves. The defaults are those of the single process.
struct FineProcess {
  bool speaks = true;             // prints the levels and every message, writes Cap.txt
  int32_t sharing_processes = 1;  // processes of the run on this machine, sharing its memory
  int32_t threads = 0;            // threads of this process; 0: as many as its CPUs
  /// Reads the input file whole into `text`; false when it cannot be read. Empty: this
  /// process reads it from the file system.
  std::function<bool(const std::string& path, std::string& text)> read_input;
  /// Takes the memory this process's levels may use and returns the limit every process of the
  /// run uses, so that all of them stop at the same level. Empty: the process's own.
  std::function<int64_t(int64_t bytes)> agree_memory;
  SolveShare share;  // this process's part of the conductor solves
  /// Called before the process ends for a failure that every process of the run meets at the
  /// same point (bad data, a solve that does not converge), so that they may end together.
  std::function<void()> end_together;
};

/// The whole of vornax-fine after its program name: returns the exit status, or ends the
/// process with status 1 and one line on standard error for bad data.
int run_fine(const std::vector<std::string>& command_line, const FineProcess& process);
