#include "tools/spice_names.h"

#include <cstdlib>
#include <map>

#include "geometry/panel_reader.h"

namespace {

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool is_name_character(char c) { return is_letter(c) || (c >= '0' && c <= '9') || c == '_'; }

/// `name` with its ASCII letters in lower case, as SPICE compares names.
std::string folded(const std::string& name) {
  std::string lower = name;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

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
  std::vector<std::string> labels;
  for (int32_t number : conductor_numbers) labels.push_back(std::to_string(number));
  return port_names(labels);
}

std::vector<std::string> port_names(const std::vector<std::string>& conductor_labels) {
  std::vector<std::string> names(conductor_labels.size());
  std::set<std::string> taken = {"gnd"};  // names in lower case
  // Conductor numbers first, so that their names never depend on the other labels.
  std::map<int32_t, int> runs_so_far;  // runs already named, by conductor number
  for (size_t k = 0; k < conductor_labels.size(); ++k) {
    int32_t number;
    if (!parse_int32(conductor_labels[k], number)) continue;
    // Through 64 bits, since -(-2^31) does not fit in 32.
    int64_t wide = number;
    std::string name = (wide < 0 ? "nm" : "n") + std::to_string(std::llabs(wide));
    // The suffix starts with '_', which the first name of any number lacks.
    int run = ++runs_so_far[number];
    if (run > 1) name += "_" + std::to_string(run);
    names[k] = name;
    taken.insert(name);
  }
  for (size_t k = 0; k < conductor_labels.size(); ++k) {
    if (!names[k].empty()) continue;
    std::string name = conductor_labels[k];
    if (!is_spice_name(name)) {
      for (char& c : name) {
        if (!is_name_character(c)) c = '_';
      }
      if (!is_letter(name[0])) name = "n_" + name;
    }
    names[k] = distinct_name(name, taken);
  }
  return names;
}

std::string distinct_name(const std::string& name, std::set<std::string>& taken) {
  std::string distinct = name;
  for (int copy = 2; taken.count(folded(distinct)) > 0; ++copy) {
    distinct = name + "_" + std::to_string(copy);
  }
  taken.insert(folded(distinct));
  return distinct;
}
