#pragma once

#include <string>
#include <vector>

#include "tools/box_writer.h"

/// What vornax-gen prints, after the reason, when its arguments are bad, and for --help.
extern const char kGeneratorUsage[];

/// Builds the structure that the command line of vornax-gen asks for
/// (`arguments` without the program name). Returns "" on success, else a
/// one-line reason naming the bad argument; `structure` is then unspecified.
std::string structure_from_arguments(const std::vector<std::string>& arguments,
                                     Structure& structure);
