// vornax-layout: writes the nets of a layout as a panel file on standard output, through KLayout.
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "common/companion_request.h"
#include "common/fatal.h"
#include "tools/layout/klayout_runner.h"
#include "tools/layout/layout_arguments.h"
#include "tools/layout/layout_conductors.h"
#include "tools/layout/layout_nets.h"
#include "tools/layout/stack_file.h"

namespace {

/// `text` as one token of a message or title: white space and control bytes become '?'.
std::string token(const std::string& text) {
  std::string shown = text;
  for (char& c : shown) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7f) c = '?';
  }
  return shown;
}

std::string gds_text(const GdsLayer& gds) {
  return std::to_string(gds.layer) + "/" + std::to_string(gds.datatype);
}

/// The variables of the KLayout script, as vornax_layout.py describes them.
std::vector<std::pair<std::string, std::string>> script_variables(const LayoutArguments& arguments,
                                                                  const Stack& stack,
                                                                  const std::string& output) {
  std::string layers, connect, labels, window;
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
  for (int32_t k = 0; arguments.has_window && k < 4; ++k) {
    window += (k ? "," : "") + format_micrometres(arguments.window[k]);
  }
  return {{"input", arguments.layout_file},
          {"output", output},
          {"cell", arguments.cell},
          {"window", window},
          {"layers", layers},
          {"connect", connect},
          {"labels", labels}};
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

/// Runs the KLayout script into a fresh temporary folder and reads what it found. Returns ""
/// on success, else the reason.
std::string find_nets(const LayoutArguments& arguments, const Stack& stack, LayoutNets& nets) {
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
  std::string error;
  std::ifstream in(output);
  if (!in) {
    error = "KLayout (" + klayout + ") failed, exit status " + std::to_string(status) + ": " +
            last_words(log);
  } else {
    error = read_layout_nets(in, static_cast<int32_t>(stack.layers.size()), nets);
  }
  in.close();
  unlink(output.c_str());
  unlink(log.c_str());
  rmdir(pattern.c_str());
  return error;
}

int fail(const std::string& message) {
  std::cerr << "vornax-layout: " << message << '\n';
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  install_out_of_memory_handler(stderr, "vornax-layout: not enough memory.");
  const std::vector<std::string> command_line(argv + 1, argv + argc);
  if (answer_companion_request(command_line, kLayoutUsage, "vornax-layout " VORNAX_VERSION))
    return 0;
  LayoutArguments arguments;
  std::string error = layout_arguments_from(command_line, arguments);
  if (!error.empty()) {
    std::cerr << "vornax-layout: " << error << '\n' << kLayoutUsage;
    return 2;
  }
  std::ifstream stack_in(arguments.stack_file);
  if (!stack_in) return fail("cannot open the stack file '" + token(arguments.stack_file) + "'.");
  Stack stack;
  error = read_stack(stack_in, token(arguments.stack_file), stack);
  if (!error.empty()) return fail(error);
  if (access(arguments.layout_file.c_str(), R_OK) != 0)
    return fail("cannot open the layout '" + token(arguments.layout_file) + "'.");

  LayoutNets nets;
  error = find_nets(arguments, stack, nets);
  if (!error.empty()) return fail(error);
  for (const std::string& warning : nets.warnings)
    std::cerr << "vornax-layout: warning: " << warning << '\n';
  std::vector<Conductor> conductors;
  error = conductors_from(nets, stack, arguments.substrate, conductors);
  if (!error.empty()) return fail(error);

  std::ostringstream title;
  title << "vornax-layout panel file, coordinates in micrometres: layout '"
        << token(arguments.layout_file) << "', cell '" << token(nets.cell) << "', stack '"
        << token(arguments.stack_file) << "'";
  write_panel_file(std::cout, title.str(), conductors);
  std::cout.flush();
  if (!std::cout) return fail("could not write the panel file.");
  return 0;
}
