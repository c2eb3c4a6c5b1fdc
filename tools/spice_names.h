#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// True for a name that every SPICE reader takes as a subcircuit or node
/// name: a letter, then letters, digits and '_'.
bool is_spice_name(const std::string& name);

/// The subcircuit name for a panel file at `path`: its base name without the
/// extension ("examples/bus2x2.txt" gives "bus2x2"), every character other
/// than a letter, digit or '_' made '_', and "sub_" put in front unless it
/// then starts with a letter.
std::string subcircuit_name_for(const std::string& path);

/// One port name per conductor, from the conductor numbers in file order:
/// "n7" for 7, "nm7" for -7, and "n7_2", "n7_3", ... for the second, third,
/// ... run of records numbered 7. The names are distinct and never "0".
std::vector<std::string> port_names(const std::vector<int32_t>& conductor_numbers);

/// `text` fit for one line of a message or a comment: control bytes become
/// '?', the rest is kept whole.
std::string one_line(const std::string& text);
