#include "fine/program/named_output.h"

#include <cmath>
#include <cstdio>

#include "common/message_text.h"

std::string master_conductors(const FineStructure& structure, const std::vector<std::string>& names,
                              bool all, std::vector<int32_t>& masters) {
  masters.clear();
  if (all) return "";
  if (names.empty()) {
    for (uint32_t k : structure.master_nets) masters.push_back(static_cast<int32_t>(k));
    return "";
  }
  for (const std::string& name : names) {
    int32_t found = -1;
    for (size_t k = 0; k < structure.conductors.size() && found < 0; ++k) {
      if (structure.conductors[k].label == name) found = static_cast<int32_t>(k);
    }
    if (found < 0) return "--nets names '" + printable(name) + "', which is no net of the file.";
    masters.push_back(found);
  }
  return "";
}

int32_t farad_exponent(const std::string& unit) {
  if (unit == "cm") return -14;
  if (unit == "mm") return -15;
  if (unit == "um") return -18;
  if (unit == "nm") return -21;
  return -12;
}

void write_dspf(std::ostream& out, const FineStructure& structure, const std::vector<int32_t>& rows,
                const std::vector<double>& value, double min_coupling) {
  const size_t conductors = structure.conductors.size();
  const double to_farads = std::pow(10.0, farad_exponent(structure.length_unit));
  char number[40];
  int64_t written = 0;
  for (size_t r = 0; r < rows.size(); ++r) {
    const std::string& name = structure.conductors[rows[r]].label;
    const double total = value[r * conductors + rows[r]];
    std::snprintf(number, sizeof number, "%.9g", total * to_farads);
    out << "*|NET " << name << ' ' << number << '\n';
    for (size_t k = 0; k < conductors; ++k) {
      if (static_cast<int32_t>(k) == rows[r]) continue;
      const double coupling = -value[r * conductors + k];
      if (!(std::fabs(coupling) >= min_coupling * std::fabs(total))) continue;
      std::snprintf(number, sizeof number, "%.9g", coupling * to_farads);
      out << 'C' << ++written << ' ' << name << ' ' << structure.conductors[k].label << ' '
          << number << '\n';
    }
  }
}
