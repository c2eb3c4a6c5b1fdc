#include "fine/program/arguments.h"

#include <cmath>
#include <cstdlib>

#include "common/message_text.h"

const char kFineUsage[] =
    "usage: vornax-fine PANELFILE [--accuracy PERCENT]\n"
    "Extracts the capacitance matrix of the conductors in PANELFILE, refining until every\n"
    "entry of at least 1 % of its row's diagonal is within PERCENT (0.01 to 10, default 1)\n"
    "by its own estimate, and writes it to Cap.txt, in 10^-12 F times the coordinate unit\n"
    "in metres.\n"
    "--help prints this usage, --version the version.\n";

std::string fine_arguments_from(const std::vector<std::string>& arguments, FineArguments& parsed) {
  parsed = FineArguments{};
  std::vector<std::string> files;
  bool accuracy_given = false;
  for (size_t k = 0; k < arguments.size(); ++k) {
    const std::string& argument = arguments[k];
    if (argument.size() < 2 || argument[0] != '-') {
      files.push_back(argument);
      continue;
    }
    if (argument != "--accuracy") return "unknown option '" + printable(argument) + "'.";
    if (accuracy_given) return "--accuracy is given twice.";
    accuracy_given = true;
    if (k + 1 == arguments.size()) return "--accuracy needs a value.";
    const std::string& value = arguments[++k];
    char* end = nullptr;
    double percent = std::strtod(value.c_str(), &end);
    if (value.empty() || *end != '\0' || !std::isfinite(percent)) {
      return "--accuracy '" + printable(value) + "' is not a number.";
    }
    if (!(percent >= 0.01 && percent <= 10.0)) {
      return "--accuracy " + printable(value) + " is outside 0.01 to 10 (percent).";
    }
    parsed.accuracy = percent;
  }
  if (files.size() != 1) {
    return "expected one PANELFILE, got " + std::to_string(files.size()) + ".";
  }
  parsed.panel_file = files[0];
  return "";
}
