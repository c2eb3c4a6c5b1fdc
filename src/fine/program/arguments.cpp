#include "fine/program/arguments.h"

#include <cmath>
#include <cstdlib>
#include <set>

#include "common/message_text.h"

const char kFineUsage[] =
    "usage: vornax-fine FILE [--accuracy PERCENT] [--nets NAME[,NAME...]|all]\n"
    "                   [--permittivity EPS] [--window open|ground] [--dspf OUT]\n"
    "                   [--min-coupling PERCENT]\n"
    "Extracts the capacitance matrix of the conductors in FILE (a panel file, or a cap3d\n"
    "file of conductors in dielectrics), refining until every entry of at least 1 % of its\n"
    "row's diagonal is within PERCENT (0.01 to 10, default 1) by its own estimate, and writes\n"
    "it to Cap.txt, in 10^-12 F times the coordinate unit in metres.\n"
    "--nets computes the rows of the nets named (default: the cap3d file's task, else every\n"
    "net); --permittivity sets a panel file's uniform medium (default 1); --window ground\n"
    "grounds a cap3d window's sides and top (default open: the layers reach on sideways);\n"
    "--dspf writes each computed net's total and couplings, in farads, leaving out those\n"
    "below --min-coupling percent of its total (default 0).\n"
    "--help prints this usage, --version the version.\n";

namespace {

/// A number argument: "" or the reason.
std::string number_of(const std::string& option, const std::string& value, double& out) {
  char* end = nullptr;
  out = std::strtod(value.c_str(), &end);
  if (value.empty() || *end != '\0' || !std::isfinite(out)) {
    return option + " '" + printable(value) + "' is not a number.";
  }
  return "";
}

/// The names of a --nets list: non-empty, none twice.
std::string net_names(const std::string& value, std::vector<std::string>& names) {
  size_t from = 0;
  std::set<std::string> seen;
  while (true) {
    const size_t comma = value.find(',', from);
    const std::string name = value.substr(from, comma == std::string::npos ? comma : comma - from);
    if (name.empty()) return "--nets '" + printable(value) + "' has an empty name.";
    if (!seen.insert(name).second) return "--nets names '" + printable(name) + "' twice.";
    names.push_back(name);
    if (comma == std::string::npos) return "";
    from = comma + 1;
  }
}

/// Takes the value of option `option` (arguments[k] the option): "" or the reason.
std::string option_value(const std::string& option, const std::string& value,
                         FineArguments& parsed) {
  double number = 0.0;
  std::string error;
  if (option == "--accuracy") {
    if (!(error = number_of(option, value, number)).empty()) return error;
    if (!(number >= 0.01 && number <= 10.0))
      return "--accuracy " + printable(value) + " is outside 0.01 to 10 (percent).";
    parsed.accuracy = number;
  } else if (option == "--permittivity") {
    if (!(error = number_of(option, value, number)).empty()) return error;
    if (!(number >= 1e-3 && number <= 1e6))
      return "--permittivity " + printable(value) + " is outside 0.001 to 10^6.";
    parsed.permittivity = number;
    parsed.permittivity_given = true;
  } else if (option == "--window") {
    if (value != "open" && value != "ground")
      return "--window '" + printable(value) + "' is neither open nor ground.";
    parsed.grounded_window = value == "ground";
  } else if (option == "--nets") {
    if (value == "all") {
      parsed.all_nets = true;
      return "";
    }
    return net_names(value, parsed.nets);
  } else if (option == "--dspf") {
    if (value.empty()) return "--dspf needs a file name.";
    parsed.dspf_file = value;
  } else {  // --min-coupling
    if (!(error = number_of(option, value, number)).empty()) return error;
    if (!(number >= 0.0 && number <= 100.0))
      return "--min-coupling " + printable(value) + " is outside 0 to 100 (percent).";
    parsed.min_coupling = number;
  }
  return "";
}

}  // namespace

std::string fine_arguments_from(const std::vector<std::string>& arguments, FineArguments& parsed) {
  parsed = FineArguments{};
  std::vector<std::string> files;
  std::set<std::string> given;
  const std::set<std::string> options = {"--accuracy", "--permittivity", "--window",
                                         "--nets",     "--dspf",         "--min-coupling"};
  for (size_t k = 0; k < arguments.size(); ++k) {
    const std::string& argument = arguments[k];
    if (argument.size() < 2 || argument[0] != '-') {
      files.push_back(argument);
      continue;
    }
    if (options.count(argument) == 0) return "unknown option '" + printable(argument) + "'.";
    if (!given.insert(argument).second) return argument + " is given twice.";
    if (k + 1 == arguments.size()) return argument + " needs a value.";
    const std::string error = option_value(argument, arguments[++k], parsed);
    if (!error.empty()) return error;
  }
  if (files.size() != 1) {
    return "expected one FILE, got " + std::to_string(files.size()) + ".";
  }
  parsed.panel_file = files[0];
  return "";
}
