#pragma once

#include <cstdint>
#include <istream>
#include <string>

#include "tools/capacitor_network.h"

/// Reads a capacitance matrix as Cap.txt holds it: exactly `order` lines (or, when `masters` is
/// not 0, exactly `masters` lines, the rows of the master conductors), each of exactly `order`
/// finite decimal numbers separated by blanks. Returns "" on success, else a one-line message
/// that starts with "FILE:LINE: ", `file_name` being how the messages name the file; `rows` is
/// then unspecified.
std::string read_capacitance_rows(std::istream& in, const std::string& file_name, uint32_t order,
                                  MatrixRows& rows, uint32_t masters = 0);
