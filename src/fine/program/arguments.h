#pragma once

#include <string>
#include <vector>

/// What vornax-fine prints, after the reason, when its arguments are bad, and for --help.
extern const char kFineUsage[];

/// The command line of vornax-fine.
struct FineArguments {
  std::string panel_file;           // the structure file: a panel file or a cap3d file
  double accuracy = 1.0;            // --accuracy, in percent: the error allowed in every entry
                                    // that is at least 1 % of its row's diagonal
  double permittivity = 1.0;        // --permittivity: of the uniform medium of a panel file
  bool permittivity_given = false;  // --permittivity was given
  bool grounded_window = false;     // --window ground: a cap3d window's sides and top grounded
  bool all_nets = false;            // --nets all: every net's row, whatever the file's task
  std::vector<std::string> nets;    // --nets NAME,...: the master nets named, in order
  std::string dspf_file;            // --dspf: where the named couplings go; "" for none
  double min_coupling = 0.0;        // --min-coupling, in percent of a net's total
};

/// Reads the command line (`arguments` without the program name; --help and --version are
/// answered before). Returns "" on success, else a one-line reason naming the bad argument.
std::string fine_arguments_from(const std::vector<std::string>& arguments, FineArguments& parsed);
