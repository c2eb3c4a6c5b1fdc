#pragma once

#include <cstdint>
#include <istream>
#include <string>

#include "structure/exact_length.h"

/// "FILE:LINE: what", the message about line `line` of the cap3d file `file_name`.
std::string cap3d_error(const std::string& file_name, uint32_t line, const std::string& what);

/// The length of the UTF-8 byte order mark that some editors put at the start of a file, if
/// `text` starts with one, else 0.
size_t byte_order_mark_length(const std::string& text);

/// The lines of a cap3d file with content, one at a time: blank lines and comment lines (those
/// starting with "//") are passed over, and spaces, tabs and a carriage return at either end are
/// cut off, as is a byte order mark before the first line.
class Cap3dLines {
 public:
  Cap3dLines(std::istream& in, const std::string& file_name) : in_(in), file_name_(file_name) {}

  /// The next line with content into `text`; false at the end of the file.
  bool next(std::string& text);

  /// Number of the line last returned; at the end of the file, of the file's last line.
  uint32_t line() const { return line_; }

  /// "FILE:LINE: what" about line `line`.
  std::string error_at(uint32_t line, const std::string& what) const {
    return cap3d_error(file_name_, line, what);
  }

  /// "FILE:LINE: what" about the line last returned.
  std::string error(const std::string& what) const { return error_at(line_, what); }

 private:
  std::istream& in_;              // the file
  const std::string& file_name_;  // as messages name it
  uint32_t line_ = 0;             // lines read so far
};

/// A line inside a section split into its key and the rest: "diel 3.9" gives "diel" and "3.9",
/// "v1(1,2,3)" gives "v1" and "(1,2,3)", with the spaces between cut off.
void split_key(const std::string& text, std::string& key, std::string& value);

/// Whether `value` is one word: not empty, no spaces inside.
bool is_one_word(const std::string& value);

/// Reads a length in micrometres into exact femtometres: an optional sign, digits with an
/// optional point, an optional exponent ("0.0741", "-84.6", "7.41e-2"), at most nine places
/// after the micrometre and at most 10^8 micrometres in size, so that sums of a few stay exact.
/// False for anything else.
bool parse_exact_length(const std::string& text, Femtometres& value);

/// Reads "(X,Y,Z)", spaces allowed around each number, three exact lengths.
bool parse_triple(const std::string& text, Femtometres xyz[3]);

/// Reads a relative permittivity: a decimal number, exponent allowed, positive and finite.
bool parse_permittivity(const std::string& text, double& value);
