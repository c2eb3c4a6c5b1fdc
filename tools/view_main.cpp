// vornax-view: an SVG picture of a panel file, optionally of its refined panels.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "common/companion_request.h"
#include "common/fatal.h"
#include "common/message_text.h"
#include "geometry/panel_reader.h"
#include "model/capacitance_extractor.h"
#include "tools/panel_picture.h"
#include "tools/structure_panels.h"
#include "tools/svg_picture.h"

namespace {

const char kUsage[] =
    "usage: vornax-view PANELFILE [--leaves] > picture.svg\n"
    "Draws the structure of PANELFILE, any file vornax-fine or vornax reads, its conductors\n"
    "named by their labels; with --leaves, the panels as vornax refines them.\n"
    "--help prints this usage, --version the version.\n";

/// The picture of the file, or its leaves; "" after a message on standard error.
std::string picture_svg(const std::string& file_name, bool leaves) {
  if (leaves) {
    // vornax's own passes, so that the picture shows what vornax refines, and a bad file gets
    // the message vornax gives.
    CapacitanceExtractor extractor;
    if (!extractor.read_panel_file(file_name) || !extractor.refine_all_pairs()) {
      std::cerr << extractor.failure.message << std::endl;
      return "";
    }
    return render_svg(picture_of_leaves(extractor, file_name));
  }
  LabelledPanels panels;
  bool opened = false;
  std::string error = read_labelled_panels(file_name, panels, opened);
  if (!opened) error = "vornax-view: cannot open the panel file '" + one_line(file_name) + "'.";
  // A panel file's message is vornax's; a cap3d file's names the file and line.
  if (!error.empty() && error.compare(0, 7, "Error: ") != 0 && opened)
    error = "vornax-view: " + error;
  if (!error.empty()) {
    std::cerr << error << '\n';
    return "";
  }
  return render_svg(picture_of_structure(panels, file_name));
}

}  // namespace

int main(int argc, char** argv) {
  if (answer_companion_request(std::vector<std::string>(argv + 1, argv + argc), kUsage,
                               "vornax-view " VORNAX_VERSION))
    return 0;
  std::string file_name;
  bool leaves = false;
  int files = 0;
  for (int k = 1; k < argc; ++k) {
    std::string argument = argv[k];
    if (argument == "--leaves" && !leaves) {
      leaves = true;
    } else if (argument.size() > 1 && argument[0] == '-') {
      files = 2;  // an unknown option is as bad as a second file
    } else {
      file_name = argument;
      files += 1;
    }
  }
  if (files != 1) {
    std::cerr << kUsage;
    return 2;
  }
  // Standard output is the picture: every message goes to standard error.
  install_out_of_memory_handler(stderr);
  std::string svg = picture_svg(file_name, leaves);
  if (svg.empty()) return 1;
  std::cout << svg;
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "vornax-view: could not write the picture.\n";
    return 1;
  }
  return 0;
}
