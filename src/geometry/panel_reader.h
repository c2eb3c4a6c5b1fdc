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
