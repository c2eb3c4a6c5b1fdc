#pragma once

#include <istream>
#include <string>

#include "structure/fine_structure.h"

/// Reads a panel file as vornax-fine reads it: the records of vornax's format, a conductor being
/// a run of consecutive records of any length with the same label, the token after the "Q" that
/// starts the record, whatever it is, "Q" included (32-bit integers compare by value, as vornax
/// compares conductor numbers: "7" and "+7" are one label; any other token by its text). Every
/// record must be a rectangle parallel to a coordinate plane with its vertices in order around it;
/// no two panels may overlap over a positive area, and panels of different conductors may not share
/// a point. Returns "" with `out` filled, or the one-line message of the first fault (`out` is then
/// unspecified); `file_name` names the file in the message for a file without records. A file
/// that vornax reads without complaint is read to the same conductors and panels, and a
/// malformed record gets the message that vornax gives for it.
std::string read_fine_structure(std::istream& in, const std::string& file_name, FineStructure& out);
