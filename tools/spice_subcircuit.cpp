#include "tools/spice_subcircuit.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <utility>

#include "common/message_text.h"
#include "tools/spice_names.h"

namespace {

const LengthUnit kUnits[] = {{"m", -12}, {"cm", -14}, {"mm", -15}, {"um", -18}, {"nm", -21}};

// The node of ground.
const std::string kGround = "0";

// Ports on one line of .subckt; more continue on lines that start with '+'.
const size_t kPortsPerLine = 10;

/// `value` with `digits` significant digits in printf's %g form, as comments
/// and warnings quote numbers.
std::string quoted(double value, int digits = 12) {
  if (std::isinf(value)) return "inf";
  char text[32];
  std::snprintf(text, sizeof text, "%.*g", digits, value);
  return text;
}

std::string asymmetry_line(const Asymmetry& largest) {
  std::string line = "* largest relative asymmetry |C(j,k) - C(k,j)| / |S(j,k)| removed: " +
                     quoted(largest.ratio, 3);
  if (largest.row >= 0) {
    int32_t j = largest.row, k = largest.column;
    line += ", at C(" + std::to_string(j + 1) + "," + std::to_string(k + 1) +
            ") = " + quoted(largest.upper) + " and C(" + std::to_string(k + 1) + "," +
            std::to_string(j + 1) + ") = " + quoted(largest.lower);
  }
  return line + "\n";
}

/// The reason a capacitor is impossible, for its line and its warning.
std::string impossibility(const Capacitor& capacitor, const MatrixRows& s) {
  std::string row = std::to_string(capacitor.from + 1);
  if (capacitor.to < 0) {
    return "row " + row + " of S sums to " + quoted(capacitor.value) +
           ", not a positive capacitance to ground";
  }
  std::string column = std::to_string(capacitor.to + 1);
  return "S(" + row + "," + column + ") = " + quoted(s[capacitor.from][capacitor.to]) +
         " is positive, a coupling of the wrong sign";
}

}  // namespace

const LengthUnit* find_length_unit(const std::string& name) {
  for (const LengthUnit& unit : kUnits) {
    if (name == unit.name) return &unit;
  }
  return nullptr;
}

std::string scaled_decimal(double value, int exponent, int digits) {
  if (value == 0.0) return "0";
  char text[48];  // "-d.<16 digits>e-308" at the most
  std::snprintf(text, sizeof text, "%.*e", digits - 1, value);
  std::string mantissa = text;
  size_t e = mantissa.find('e');
  int shifted = std::atoi(text + e + 1) + exponent;
  mantissa.erase(e);
  if (mantissa.find('.') != std::string::npos) {
    mantissa.erase(mantissa.find_last_not_of('0') + 1);
    if (mantissa.back() == '.') mantissa.pop_back();
  }
  return shifted == 0 ? mantissa : mantissa + "e" + std::to_string(shifted);
}

void take_matrix(SubcircuitSource& source, MatrixRows c) {
  source.asymmetry = largest_asymmetry(c);
  symmetrise(c);
  source.s = std::move(c);
}

void write_subcircuit(const SubcircuitSource& source, std::ostream& out, std::ostream& warnings) {
  const std::vector<std::string>& ports = source.ports;
  const MatrixRows& s = source.s;
  out << "* capacitance matrix as a SPICE subcircuit, written by vornax-spice\n";
  out << "* panel file: " << one_line(source.panel_file) << "\n";
  out << "* capacitance file: " << one_line(source.cap_file) << "\n";
  out << "* unit: " << source.unit->name << " (" << source.unit_source
      << "), so the capacitance file counts in units of 1e" << source.unit->farad_exponent
      << " F\n";
  out << "* conductors: " << ports.size()
      << ", one port each in file order, named after their conductor "
      << (source.labelled ? "labels\n" : "numbers\n");
  out << "* symmetrised: S = (C + C^T) / 2\n";
  out << asymmetry_line(source.asymmetry);
  if (!source.rows_note.empty()) out << "* " << source.rows_note << "\n";
  if (source.network.min_fraction > 0.0) {
    out << "* couplings below " << quoted(source.network.min_fraction, 6)
        << " of the totals of both their conductors: " << negligible_count(s, source.network)
        << " left out, each added to both conductors' capacitors to ground\n";
  }

  out << ".subckt " << source.name;
  for (size_t k = 0; k < ports.size(); ++k) {
    if (k > 0 && k % kPortsPerLine == 0) out << "\n+";
    out << " " << ports[k];
  }
  out << "\n";

  std::set<std::string> taken;  // capacitor names so far, in lower case, where labels may clash
  visit_capacitors(s, source.network, [&](const Capacitor& capacitor) {
    const std::string& from = ports[capacitor.from];
    const std::string& to = capacitor.to < 0 ? kGround : ports[capacitor.to];
    const std::string plain = "C_" + from + "_" + to;
    const std::string name = source.labelled ? distinct_name(plain, taken) : plain;
    const std::string farads =
        scaled_decimal(capacitor.value, source.unit->farad_exponent, capacitor.digits);
    out << name << " " << from << " " << to << " " << farads;
    if (capacitor.impossible) {
      const std::string reason = impossibility(capacitor, s);
      out << " $ physically impossible: " << reason;
      warnings << "vornax-spice: warning: " << name << " = " << farads
               << " F is physically impossible: " << reason << ".\n";
    }
    out << "\n";
  });
  out << ".ends " << source.name << "\n";
}
