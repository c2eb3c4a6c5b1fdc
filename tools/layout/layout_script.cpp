#include "tools/layout/layout_script.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <utility>
#include <vector>

#include "tools/layout/klayout_runner.h"

namespace {

std::string gds_text(const GdsLayer& gds) {
  return std::to_string(gds.layer) + "/" + std::to_string(gds.datatype);
}

/// The clip box: the window grown by the halo, as X1,Y1,X2,Y2 in micrometres; "" without one.
std::string clip_box(const LayoutArguments& arguments) {
  std::string box;
  for (int32_t k = 0; arguments.has_window && k < 4; ++k) {
    Femtometres grown = arguments.window[k] + (k < 2 ? -arguments.halo : arguments.halo);
    box += (k ? "," : "") + format_micrometres(grown);
  }
  return box;
}

/// The variables of the KLayout script, as vornax_layout.py describes them.
std::vector<std::pair<std::string, std::string>> script_variables(const LayoutArguments& arguments,
                                                                  const Stack& stack,
                                                                  const std::string& output) {
  std::string layers, connect, labels;
  for (const StackLayer& layer : stack.layers) {
    layers += (layers.empty() ? "" : " ") + layer.name + "=" + gds_text(layer.gds);
  }
  for (const auto& pair : touching_layer_pairs(stack)) {
    connect += (connect.empty() ? "" : " ") + std::to_string(pair.first) + "-" +
               std::to_string(pair.second);
  }
  for (const LabelLayer& label : stack.labels) {
    labels += (labels.empty() ? "" : " ") + gds_text(label.gds) + ":" + std::to_string(label.metal);
  }
  std::string cells;
  for (const std::string& name : arguments.cells) cells += (cells.empty() ? "" : ",") + name;
  return {{"input", arguments.layout_file},
          {"output", output},
          {"cell", arguments.cell},
          {"cells", cells},
          {"window", clip_box(arguments)},
          {"layers", layers},
          {"connect", connect},
          {"labels", labels},
          {"hierarchy", arguments.subcell_labels ? "all" : "top"}};
}

/// The last line of KLayout's own output that says something, to explain a failed run.
std::string last_words(const std::string& log_file) {
  std::ifstream in(log_file);
  std::string line, last;
  while (std::getline(in, line)) {
    if (line.find_first_not_of(" \t\r") != std::string::npos) last = line;
  }
  return last.empty() ? "no message" : last;
}

}  // namespace

std::string find_nets_of_cells(const LayoutArguments& arguments, const Stack& stack,
                               std::vector<LayoutNets>& nets, std::vector<std::string>& errors) {
  std::string klayout = find_klayout();
  if (klayout.empty())
    return "klayout is not on PATH; vornax-layout reads layouts through KLayout: install the "
           "Debian package klayout (apt-get install klayout).";
  std::string looked_in;
  std::string script = find_layout_script(looked_in);
  if (script.empty()) return "its KLayout script is missing; looked for " + looked_in + ".";
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vornax-layout-XXXXXX";
  if (!mkdtemp(&pattern[0])) return "cannot make a temporary folder " + pattern + ".";
  std::string output = pattern + "/nets.txt", log = pattern + "/klayout.log";
  int status = run_klayout(klayout, script, script_variables(arguments, stack, output), log);
  const int32_t layers = static_cast<int32_t>(stack.layers.size());
  const bool batch = !arguments.cells.empty();
  const size_t count = batch ? arguments.cells.size() : 1;
  nets.assign(count, LayoutNets{});
  errors.assign(count, "");
  std::string error;
  // With several cells, OUTPUT itself holds only the reason the layout could not be read.
  std::ifstream whole(output);
  if (batch && whole) error = read_layout_nets(whole, layers, nets[0]);
  whole.close();
  for (size_t k = 0; k < count && error.empty(); ++k) {
    std::string file = batch ? output + "." + std::to_string(k) : output;
    std::ifstream in(file);
    if (!in) {
      error = "KLayout (" + klayout + ") failed, exit status " + std::to_string(status) + ": " +
              last_words(log);
    } else {
      errors[k] = read_layout_nets(in, layers, nets[k]);
    }
  }
  unlink(output.c_str());
  for (size_t k = 0; batch && k < count; ++k) unlink((output + "." + std::to_string(k)).c_str());
  unlink(log.c_str());
  rmdir(pattern.c_str());
  return error;
}

std::string find_nets(const LayoutArguments& arguments, const Stack& stack, LayoutNets& nets) {
  std::vector<LayoutNets> found;
  std::vector<std::string> errors;
  std::string error = find_nets_of_cells(arguments, stack, found, errors);
  if (!error.empty()) return error;
  nets = std::move(found[0]);
  return errors[0];
}
