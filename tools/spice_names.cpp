#include "tools/spice_names.h"

#include <cstdlib>
#include <map>

namespace {

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool is_name_character(char c) { return is_letter(c) || (c >= '0' && c <= '9') || c == '_'; }

}  // namespace

bool is_spice_name(const std::string& name) {
  if (name.empty() || !is_letter(name[0])) return false;
  for (char c : name) {
    if (!is_name_character(c)) return false;
  }
  return true;
}

std::string subcircuit_name_for(const std::string& path) {
  std::string base = path.substr(path.find_last_of('/') + 1);
  size_t dot = base.find_last_of('.');
  if (dot != std::string::npos && dot > 0) base.erase(dot);
  for (char& c : base) {
    if (!is_name_character(c)) c = '_';
  }
  return !base.empty() && is_letter(base[0]) ? base : "sub_" + base;
}

std::vector<std::string> port_names(const std::vector<int32_t>& conductor_numbers) {
  std::vector<std::string> names;
  std::map<int32_t, int> runs_so_far;  // runs already named, by conductor number
  for (int32_t number : conductor_numbers) {
    // Through 64 bits, since -(-2^31) does not fit in 32.
    int64_t wide = number;
    std::string name = (wide < 0 ? "nm" : "n") + std::to_string(std::llabs(wide));
    // The suffix starts with '_', which the first name of any number lacks.
    int run = ++runs_so_far[number];
    if (run > 1) name += "_" + std::to_string(run);
    names.push_back(name);
  }
  return names;
}

std::string one_line(const std::string& text) {
  std::string shown = text;
  for (char& c : shown) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) c = '?';
  }
  return shown;
}
