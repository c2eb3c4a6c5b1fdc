#pragma once

#include <string>
#include <vector>

#include "structure/exact_length.h"
#include "tools/layout/layout_conductors.h"

/// What vornax-layout prints, after the reason, when its arguments are bad (and for --help).
extern const char kLayoutUsage[];

/// The command line of vornax-layout.
struct LayoutArguments {
  std::string layout_file;               // LAYOUT: GDSII, OASIS or another format KLayout reads
  std::string stack_file;                // STACK
  std::string cell;                      // --cell; "" for the layout's only top cell
  bool has_window = false;               // whether --window was given
  Femtometres window[4] = {0, 0, 0, 0};  // X1 Y1 X2 Y2, X1 < X2 and Y1 < Y2
  SubstrateRequest substrate;            // --substrate HALO
};

/// Reads the command line (`arguments` without the program name; --help and --version are
/// answered before). Returns "" on success, else a one-line reason naming the bad argument.
std::string layout_arguments_from(const std::vector<std::string>& arguments,
                                  LayoutArguments& parsed);
