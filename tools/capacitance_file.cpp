#include "tools/capacitance_file.h"

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <utility>

#include "common/message_text.h"
#include "tools/spice_names.h"

namespace {

/// "" with `value` set, or why `token` is not a finite decimal number.
/// strtod alone would also take "nan", "inf" and hexadecimal.
std::string parse_number(const std::string& token, double& value) {
  char* end = nullptr;
  value = std::strtod(token.c_str(), &end);
  bool whole = *end == '\0';
  if (whole && !std::isfinite(value)) return "'" + printable(token) + "' is not a finite number";
  if (!whole || token.find_first_not_of("0123456789.eE+-") != std::string::npos) {
    return "'" + printable(token) + "' is not a number";
  }
  return "";
}

/// ", not one for each of the 4 conductors": the end of a message about counts, with "or of
/// the 2 master conductors" where a matrix of their rows alone would do.
std::string per_conductor(uint32_t order, uint32_t masters = 0) {
  std::string end = ", not one for each of the " + std::to_string(order) +
                    (order == 1 ? " conductor" : " conductors");
  if (masters > 0)
    end +=
        " or of the " + std::to_string(masters) + " master conductor" + (masters == 1 ? "" : "s");
  return end;
}

}  // namespace

std::string read_capacitance_rows(std::istream& in, const std::string& file_name, uint32_t order,
                                  MatrixRows& rows, uint32_t masters) {
  rows.clear();
  std::string line;
  uint64_t line_number = 0;
  auto at = [&file_name, &line_number](const std::string& what) {
    return one_line(file_name) + ":" + std::to_string(line_number) + ": " + what + ".";
  };
  while (std::getline(in, line)) {
    ++line_number;
    if (rows.size() == order) {
      return at("one row too many" + per_conductor(order));
    }
    std::istringstream numbers(line);
    std::vector<double> row;
    std::string token;
    while (numbers >> token) {
      double value;
      std::string error = parse_number(token, value);
      if (!error.empty()) return at(error);
      row.push_back(value);
    }
    if (row.size() != order) {
      return at("the row holds " + std::to_string(row.size()) + " numbers" + per_conductor(order));
    }
    rows.push_back(std::move(row));
  }
  ++line_number;  // the line that could not be read, or that is missing
  if (in.bad()) return at("the file cannot be read");
  if (rows.size() < order && (masters == 0 || rows.size() != masters)) {
    return at("the file ends after " + std::to_string(rows.size()) + " rows" +
              per_conductor(order, masters));
  }
  return "";
}
