#pragma once

#include <string>
#include <vector>

/// Answers the two requests that every companion program takes whatever else its command line
/// holds: `--help` prints `usage`, `--version` prints `name_and_version` and a new line, both on
/// standard output. `arguments` is the command line without the program name; the first of the
/// two that stands as an argument of its own wins. Returns whether one was answered, in which
/// case the program ends with status 0 and does nothing else.
bool answer_companion_request(const std::vector<std::string>& arguments, const char* usage,
                              const char* name_and_version);
