#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tools/capacitor_network.h"

/// A length unit of the panel file's coordinates. Cap.txt then holds
/// capacitances in 10^-12 F times that unit in metres.
struct LengthUnit {
  const char* name;    // as --unit takes it: "m", "cm", "mm", "um" or "nm"
  int farad_exponent;  // a value of Cap.txt is that value times 10^farad_exponent F
};

/// The unit called `name`, or null when there is none.
const LengthUnit* find_length_unit(const std::string& name);

/// The decimal text of `value` times 10^exponent, `value` rounded to `digits`
/// significant digits (1 to 17) and trailing zeros dropped: 136.296, -12 and
/// 12 give "1.36296e-10". The power of ten only shifts the exponent, so the
/// digits are those of `value` itself.
std::string scaled_decimal(double value, int exponent, int digits);

/// Everything a subcircuit is made from.
struct SubcircuitSource {
  std::string panel_file;          // as named on the command line, for the header
  std::string cap_file;            // likewise
  const LengthUnit* unit;          // of the panel file's coordinates
  std::string name;                // a valid SPICE name
  std::vector<std::string> ports;  // one distinct node name per conductor, file order
  MatrixRows s;                    // S = (C + C^T) / 2, ports.size() square
  Asymmetry asymmetry;             // the largest asymmetry of C that S removed
  bool labelled = false;           // the ports are named after labels, not all numbers
  NetworkChoice network;           // the couplings left out and the context conductors, see
                                   // visit_capacitors
  std::string rows_note;           // which rows Cap.txt holds, for a comment; "" for all
  std::string unit_source;         // where the unit comes from, for the header: "--unit",
                                   // "the default" or "line N of the panel file"
};

/// Sets the matrix of `source` from the capacitance matrix `c` as read: its asymmetry, and S,
/// made in the storage of `c` so that C and S are never held at once.
void take_matrix(SubcircuitSource& source, MatrixRows c);

/// Writes the SPICE subcircuit of S to `out` as it goes: one port per conductor, the capacitors
/// of visit_capacitors (with the source's network choice) in farads, impossible ones marked on
/// their line and each told of by one line on `warnings`. A capacitor is named C_FROM_TO after its
/// ports (TO is 0 for ground); where labelled ports make that name come twice, distinct_name tells
/// them apart (ports named after numbers never do, so their names are not held).
void write_subcircuit(const SubcircuitSource& source, std::ostream& out, std::ostream& warnings);
