#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "structure/fine_structure.h"

/// The master conductors of a run: `names` (--nets) looked up among the structure's conductors,
/// else the structure's own (a cap3d task, a panel file's masters line) unless `all`, else none
/// (every conductor's row). Returns "" or the message for a name that is no conductor's.
std::string master_conductors(const FineStructure& structure, const std::vector<std::string>& names,
                              bool all, std::vector<int32_t>& masters);

/// The power of ten that turns a value of Cap.txt into farads for coordinates in `unit` ("m",
/// "cm", "mm", "um", "nm"; "" is taken for metres, as Cap.txt's unit says).
int32_t farad_exponent(const std::string& unit);

/// The rows of a result as a DSPF-like list, per row `*|NET NAME TOTAL` and one
/// `C<n> NAME OTHER VALUE` line per other conductor whose coupling |C(r, k)| is at least
/// `min_coupling` (a fraction) of the total, n counting from 1 over the file, values in farads.
/// The total is the row's diagonal entry; a coupling is written as a positive capacitance.
void write_dspf(std::ostream& out, const FineStructure& structure, const std::vector<int32_t>& rows,
                const std::vector<double>& value, double min_coupling);
