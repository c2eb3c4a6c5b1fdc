#pragma once

#include <string>
#include <utility>
#include <vector>

/// The `klayout` program found on PATH, or "" when there is none.
std::string find_klayout();

/// The KLayout script of vornax-layout, vornax_layout.py, looked for in this order: beside the
/// running program (where the build puts a copy), in the data folder of an installed program
/// (share/vornax beside its bin folder), then in the source tree it was built from. "" when none
/// holds it; `looked_in` then lists the places, for the message.
std::string find_layout_script(std::string& looked_in);

/// Runs `klayout -b -r SCRIPT -rd NAME=VALUE ...`, with its standard output and error going to
/// `log_file`, and waits for it. Returns its exit status, or -1 when it could not be started or
/// did not exit normally.
int run_klayout(const std::string& klayout, const std::string& script,
                const std::vector<std::pair<std::string, std::string>>& variables,
                const std::string& log_file);
