#pragma once

#include <cstdint>
#include <string>

/// Lengths in vornax-layout are whole femtometres (10^-9 micrometres). Every decimal of the
/// stack file and the command line, and every multiple of a layout's database unit, is exact in
/// this unit, so extruding, clipping and comparing are exact integer arithmetic and the panel
/// file gets exact decimals.
using Femtometres = int64_t;

const Femtometres kFemtometresPerMicrometre = 1000000000;

/// Reads a decimal number of micrometres: an optional sign, digits with at most nine after an
/// optional point ("2", "-0.35", ".5"), no exponent. False for any other text and for values
/// beyond about 9.2e9 micrometres.
bool parse_micrometres(const std::string& text, Femtometres& value);

/// `value` in micrometres, exact and as short as possible: "0.35", "-2", "0".
std::string format_micrometres(Femtometres value);
