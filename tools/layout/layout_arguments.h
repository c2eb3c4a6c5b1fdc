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
  bool has_halo = false;                 // whether --halo was given (only with --window)
  Femtometres halo = 0;                  // --halo D, 0 or more
  bool subcell_labels = true;            // --labels all (default); false for --labels top
  SubstrateRequest substrate;            // --substrate HALO
  Femtometres snap = 0;                  // --snap GRID, positive; 0 when not given
  std::string cap3d_file;                // --cap3d OUT; "" when not given
  std::vector<std::string> cells;        // --cells A,B,...: several cells; empty when not given
  std::string output_folder;             // --output DIR: where --cells writes CELL.txt
};

/// Reads the command line (`arguments` without the program name; --help and --version are
/// answered before). Returns "" on success, else a one-line reason naming the bad argument.
std::string layout_arguments_from(const std::vector<std::string>& arguments,
                                  LayoutArguments& parsed);
