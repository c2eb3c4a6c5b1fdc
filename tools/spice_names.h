#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "geometry/panel_reader.h"  // one_line, for the names in messages and comments

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

/// One port name per conductor, from the conductor labels in file order. A label that is a
/// 32-bit integer is a conductor number and named as above, whatever the other labels. Any other
/// label is used as it is when it is a SPICE name; otherwise every character but letters,
/// digits and '_' becomes '_', and "n_" goes in front unless it then starts with a letter.
/// Where that name is already taken (by a number's name or an earlier port, letter case
/// ignored as SPICE ignores it) or is "gnd" (ngspice's other name for node 0), the first free
/// of name_2, name_3, ... is taken instead. The names are distinct in any case and never "0".
std::vector<std::string> port_names(const std::vector<std::string>& conductor_labels);

/// `name`, or the first of name_2, name_3, ... that is not in `taken` once
/// put in lower case, as SPICE compares names; that lower-case form is then
/// added to `taken`.
std::string distinct_name(const std::string& name, std::set<std::string>& taken);
