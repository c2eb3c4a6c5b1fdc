#pragma once

#include <string>
#include <vector>

#include "tools/spice_subcircuit.h"

/// What vornax-spice prints, after the reason, when its arguments are bad, and for --help.
extern const char kSpiceUsage[];

/// The command line of vornax-spice.
struct SpiceArguments {
  std::string panel_file;  // PANELFILE, the structure the matrix was extracted from
  std::string cap_file;    // CAPFILE, its Cap.txt
  const LengthUnit* unit;  // --unit, metres when not given
  bool unit_given;         // whether --unit was given
  std::string name;        // --name, a valid SPICE name; "" when not given
  double min_fraction;     // --min-cap FRACTION, 0 <= FRACTION < 1; 0.001 when not given
};

/// Reads the command line of vornax-spice (`arguments` without the program
/// name); options may stand anywhere, each at most once. Returns "" on
/// success, else a one-line reason naming the bad argument.
std::string spice_arguments_from(const std::vector<std::string>& arguments, SpiceArguments& parsed);
