#pragma once

#include <string>
#include <vector>

/// What vornax-fine prints, after the reason, when its arguments are bad, and for --help.
extern const char kFineUsage[];

/// The command line of vornax-fine.
struct FineArguments {
  std::string panel_file;  // PANELFILE
  double accuracy = 1.0;   // --accuracy, in percent: the error allowed in every entry that is at
                           // least 1 % of its row's diagonal
};

/// Reads the command line (`arguments` without the program name; --help and --version are
/// answered before). Returns "" on success, else a one-line reason naming the bad argument.
std::string fine_arguments_from(const std::vector<std::string>& arguments, FineArguments& parsed);
