#pragma once

#include <cstdint>
#include <istream>
#include <string>

#include "model/panel_vector.h"

/// Reads every "Q" record of `in` (a conductor number and twelve coordinates,
/// whitespace separated; every other token is skipped) and appends one input
/// panel per record to `panels`, with index and root_index set to its
/// position. Conductors are counted as runs of equal conductor numbers, the
/// number before the first record being taken as -1.
/// Returns "" on success, else the one-line message for the first malformed
/// record; nothing ends the process here.
std::string read_panel_records(std::istream& in, PanelVector& panels, uint32_t& conductor_count);

/// Checks that the panels form runs of exactly six consecutive records per
/// counted conductor. Returns "" when they do, else the one-line message.
std::string check_conductor_runs(const PanelVector& panels);

// The pieces of a record, for every reader of this format: a record is "Q", a token that names
// its conductor, and twelve coordinates. Records are numbered from 1 in file order; every
// message is one line.

/// Reads the token after the "Q" of record `record` into `token`. Returns "" or the message for
/// a file that ends there.
std::string read_conductor_token(std::istream& in, uint32_t record, std::string& token);

/// Reads the twelve coordinates after the conductor token of record `record` into the vertices
/// of `panel`. Returns "" or the message for the first one that is not a finite decimal number,
/// or for a file that ends before the last; the vertices are then left as they were.
std::string read_record_corners(std::istream& in, uint32_t record, Panel& panel);

/// Sets the centre and area of `panel` from its vertices. Returns "" or, when its size, area or
/// centre overflows, the message naming record `record`.
std::string complete_panel_geometry(uint32_t record, Panel& panel);

/// A signed decimal integer that fits in 32 bits, the whole token, as conductor numbers are
/// read; `value` is set only on success.
bool parse_int32(const std::string& token, int32_t& value);

/// "Error: Panel record N: " followed by `what`.
std::string record_error(uint32_t record, const std::string& what);

/// The message for a panel file, named `file_name`, that holds no record at all.
std::string no_records_error(const std::string& file_name);
