#include "geometry/panel_reader.h"

#include <cmath>
#include <cstdlib>
#include <fstream>

#include "common/message_text.h"
#include "model/capacitance_extractor.h"

namespace {

const char* const kCoordinateNames[12] = {"x1", "y1", "z1", "x2", "y2", "z2",
                                          "x3", "y3", "z3", "x4", "y4", "z4"};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

/// Decimal notation only: [+-] digits [. digits] [e [+-] digits], with at
/// least one digit in the mantissa. Rejects hexadecimal, nan, inf and
/// trailing characters, all of which strtod alone would accept.
bool is_decimal_number(const std::string& token) {
  std::size_t k = 0;
  if (k < token.size() && (token[k] == '+' || token[k] == '-')) ++k;
  std::size_t mantissa_digits = 0;
  while (k < token.size() && is_digit(token[k])) ++k, ++mantissa_digits;
  if (k < token.size() && token[k] == '.') {
    ++k;
    while (k < token.size() && is_digit(token[k])) ++k, ++mantissa_digits;
  }
  if (mantissa_digits == 0) return false;
  if (k < token.size() && (token[k] == 'e' || token[k] == 'E')) {
    ++k;
    if (k < token.size() && (token[k] == '+' || token[k] == '-')) ++k;
    std::size_t exponent_digits = 0;
    while (k < token.size() && is_digit(token[k])) ++k, ++exponent_digits;
    if (exponent_digits == 0) return false;
  }
  return k == token.size();
}

/// The message for a file that ends after `present` of the 13 tokens of record `record`.
std::string cut_short_error(uint32_t record, int present) {
  return "Error: Panel record " + std::to_string(record) +
         " is cut short by the end of the file (" + std::to_string(present) +
         " of its 13 numbers present).";
}

/// Reads the 13 numbers of record `record` into `panel`; "" or the message.
std::string read_record(std::istream& in, uint32_t record, Panel& panel) {
  std::string token;
  std::string error = read_conductor_token(in, record, token);
  if (!error.empty()) return error;
  if (!parse_int32(token, panel.conductor)) {
    return record_error(record,
                        "conductor number '" + printable(token) + "' is not a 32-bit integer.");
  }
  return read_record_corners(in, record, panel);
}

bool has_finite_geometry(const Panel& panel) {
  return std::isfinite(panel.panel_size()) && std::isfinite(panel.area) &&
         std::isfinite(panel.centre.x) && std::isfinite(panel.centre.y) &&
         std::isfinite(panel.centre.z);
}

const char kSixRecordsRule[] =
    "every conductor must consist of exactly six consecutive panel records.";

}  // namespace

bool parse_int32(const std::string& token, int32_t& value) {
  std::size_t k = 0;
  bool negative = false;
  if (k < token.size() && (token[k] == '+' || token[k] == '-')) negative = token[k++] == '-';
  if (k == token.size()) return false;
  int64_t magnitude = 0;
  for (; k < token.size(); ++k) {
    if (!is_digit(token[k])) return false;
    magnitude = magnitude * 10 + (token[k] - '0');
    if (magnitude > 2147483648LL) return false;
  }
  if (negative) magnitude = -magnitude;
  if (magnitude > 2147483647LL) return false;
  value = static_cast<int32_t>(magnitude);
  return true;
}

std::string record_error(uint32_t record, const std::string& what) {
  return "Error: Panel record " + std::to_string(record) + ": " + what;
}

std::string read_conductor_token(std::istream& in, uint32_t record, std::string& token) {
  return in >> token ? "" : cut_short_error(record, 0);
}

std::string read_record_corners(std::istream& in, uint32_t record, Panel& panel) {
  std::string token;
  double coordinates[12];
  for (int field = 1; field < 13; ++field) {
    if (!(in >> token)) return cut_short_error(record, field);
    const char* name = kCoordinateNames[field - 1];
    if (!is_decimal_number(token)) {
      return record_error(record, "coordinate " + std::string(name) + " '" + printable(token) +
                                      "' is not a number.");
    }
    double value = std::strtod(token.c_str(), nullptr);
    if (!std::isfinite(value)) {
      return record_error(
          record, "coordinate " + std::string(name) + " '" + printable(token) + "' is too large.");
    }
    coordinates[field - 1] = value;
  }
  for (int v = 0; v < 4; ++v) {
    panel.vertices[v] = Point3{coordinates[3 * v], coordinates[3 * v + 1], coordinates[3 * v + 2]};
  }
  return "";
}

std::string complete_panel_geometry(uint32_t record, Panel& panel) {
  panel.compute_centre();
  panel.compute_area();
  if (!has_finite_geometry(panel)) {
    return record_error(record, "the panel is too large: its size, area or centre overflows.");
  }
  return "";
}

std::string no_records_error(const std::string& file_name) {
  return "Error: The panel file '" + one_line(file_name) + "' holds no panel records.";
}

std::string read_panel_records(std::istream& in, PanelVector& panels, uint32_t& conductor_count) {
  Panel panel;
  int32_t previous_conductor = -1;
  conductor_count = 0;
  std::string token;
  while (in >> token) {
    if (token != "Q") continue;
    uint32_t record = panels.size() + 1;
    std::string error = read_record(in, record, panel);
    if (!error.empty()) return error;
    if (panel.conductor != previous_conductor) {
      conductor_count += 1;
      previous_conductor = panel.conductor;
    }
    error = complete_panel_geometry(record, panel);
    if (!error.empty()) return error;
    int32_t position = static_cast<int32_t>(panels.size());
    panel.index = position;
    panel.root_index = position;
    panel.child_kind = kInputPanel;
    panel.parent = -1;
    panel.first_child = -1;
    panel.second_child = -1;
    panel.is_split = false;
    panels.append(panel);
  }
  return "";
}

std::string check_conductor_runs(const PanelVector& panels) {
  uint32_t position = 0;
  uint32_t ordinal = 0;
  while (position < panels.size()) {
    uint32_t start = position;
    int32_t number = panels[start].conductor;
    while (position < panels.size() && panels[position].conductor == number) ++position;
    if (start == 0 && number == -1) {
      return "Error: Conductor -1 at panel record 1 is not counted as a conductor; " +
             std::string(kSixRecordsRule);
    }
    ordinal += 1;
    uint32_t length = position - start;
    if (length != 6) {
      return "Error: Conductor " + std::to_string(ordinal) + " (number " + std::to_string(number) +
             ", from panel record " + std::to_string(start + 1) + ") has " +
             std::to_string(length) + " panel records; " + kSixRecordsRule;
    }
  }
  return "";
}

bool CapacitanceExtractor::read_panel_file(const std::string& file_name) {
  std::ifstream in(file_name);
  if (!in) {
    failure = Failure{"Error: Could not create file.", true};
    return false;
  }
  std::string error = read_panel_records(in, panels, conductor_count);
  if (error.empty() && panels.size() == 0) {
    error = no_records_error(file_name);
  }
  if (error.empty()) error = check_conductor_runs(panels);
  if (!error.empty()) {
    failure = Failure{error};
    return false;
  }
  panel_count = panels.size();
  input_panel_count = panel_count;
  if (conductor_count <= 16) {
    pcg_tolerance = pcg_tolerance * 38.0;
  } else {
    pcg_tolerance = (conductor_count * pcg_tolerance) * 4.0;
  }
  return true;
}
