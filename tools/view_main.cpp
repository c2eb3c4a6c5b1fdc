// vornax-view: an SVG picture of a panel file, optionally of its refined panels.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "common/fatal.h"
#include "run/capacitance_extractor.h"
#include "tools/panel_picture.h"
#include "tools/svg_picture.h"

namespace {

const char kUsage[] =
    "usage: vornax-view PANELFILE [--leaves] > picture.svg\n"
    "Draws the structure of PANELFILE; with --leaves, the panels as vornax refines them.\n";

/// Runs the program's own passes on `file_name` and renders the picture. The
/// passes report a bad file on standard output and end the process; while
/// they run, standard output goes to standard error, so such a message shows
/// on the console and never ends up in the picture.
std::string picture_of_file(const std::string& file_name, bool leaves) {
  std::fflush(stdout);
  int picture_output = dup(1);
  if (picture_output < 0 || dup2(2, 1) < 0) {
    std::perror("vornax-view: standard output");
    std::exit(1);
  }
  std::string svg;
  {
    CapacitanceExtractor extractor;
    extractor.read_panel_file(file_name);
    if (leaves) extractor.refine_all_pairs();
    svg = render_svg(picture_of_panels(extractor, leaves, file_name));
  }
  std::fflush(stdout);
  dup2(picture_output, 1);
  close(picture_output);
  return svg;
}

}  // namespace

int main(int argc, char** argv) {
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
  install_out_of_memory_handler();
  std::string svg = picture_of_file(file_name, leaves);
  std::cout << svg;
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "vornax-view: could not write the picture.\n";
    return 1;
  }
  return 0;
}
