#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

/// What the lines before the first record of a panel file may declare, beside its title. Every
/// token of these lines is skipped by the readers of records, so a file that declares them is
/// read by vornax and vornax-fine as one that does not.
struct PanelFileHeader {
  std::string unit;               // from a line "unit U": "m", "cm", "mm", "um" or "nm";
                                  // "" when no line declares it
  int32_t unit_line = 0;          // the line that declares it, from 1; 0 for none
  std::vector<uint32_t> masters;  // from a line "masters N ...": the positions, from 1 in file
                                  // order, of the conductors whose rows are wanted; empty for
                                  // every conductor
  int32_t masters_line = 0;       // the line that declares them, from 1; 0 for none
};

/// Reads the lines of a panel file before the first line that holds the token "Q". A line of
/// exactly the two tokens "unit" and one of m, cm, mm, um and nm declares the unit; a line of
/// "masters" and one or more positions (decimal whole numbers from 1, none twice) declares the
/// master conductors; every other line is a comment. Returns "" or the reason, as
/// "FILE:LINE: ...": a second line that declares the same. `file_name` names the file.
std::string read_panel_file_header(std::istream& in, const std::string& file_name,
                                   PanelFileHeader& header);

/// The master conductors of `header` as indices from 0 into the `conductors` of the file named
/// `file_name`, into `masters`. Returns "" or "FILE:LINE: master conductor N of M" for a position
/// beyond them.
std::string master_indices(const PanelFileHeader& header, size_t conductors,
                           const std::string& file_name, std::vector<uint32_t>& masters);
