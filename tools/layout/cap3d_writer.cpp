#include "tools/layout/cap3d_writer.h"

#include <algorithm>

namespace {

const char kGround[] = "GROUND";  // the substrate's name in a cap3d file

std::string um(Femtometres length) { return format_micrometres(length); }

std::string vector_text(const char* key, Femtometres x, Femtometres y, Femtometres z) {
  return std::string(key) + "(" + um(x) + "," + um(y) + "," + um(z) + ")";
}

bool is_substrate(const NamedNet& net) { return !net.layers.empty() && net.layers[0] < 0; }

std::string cap3d_name(const NamedNet& net) { return is_substrate(net) ? kGround : net.name; }

void write_layers(std::ostream& out, const Stack& stack) {
  for (size_t k = 0; k <= stack.layers.size(); ++k) {
    bool substrate = k == stack.layers.size();
    out << "<layer>\n\tname " << (substrate ? "substrate" : stack.layers[k].name) << "\n\tid " << k
        << "\n\ttype "
        << (substrate                ? "substrate"
            : stack.layers[k].is_via ? "via"
                                     : "interconnect")
        << "\n</layer>\n";
  }
}

void write_conductor(std::ostream& out, const NamedNet& net, size_t substrate_layer) {
  out << "<conductor>\n\tname " << cap3d_name(net) << '\n';
  for (size_t b = 0; b < net.boxes.size(); ++b) {
    const SolidBox& box = net.boxes[b];
    size_t layer = net.layers[b] < 0 ? substrate_layer : static_cast<size_t>(net.layers[b]);
    out << "\t<block>\n\t\tlayer " << layer << "\n\t\t"
        << vector_text("basepoint", box.lo[0], box.lo[1], box.lo[2]) << "\n\t\t"
        << vector_text("v1", box.hi[0] - box.lo[0], 0, 0) << "\n\t\t"
        << vector_text("v2", 0, box.hi[1] - box.lo[1], 0) << "\n\t\t"
        << vector_text("hvector", 0, 0, box.hi[2] - box.lo[2]) << "\n\t</block>\n";
  }
  out << "</conductor>\n";
}

}  // namespace

std::string check_cap3d_names(const std::vector<NamedNet>& nets) {
  for (const NamedNet& net : nets) {
    if (is_substrate(net)) continue;
    if (net.name.find("__") != std::string::npos)
      return "--cap3d: the net '" + net.name +
             "' cannot keep its name in a cap3d file, which reads PART__NET as a part of NET";
    if (net.name == kGround)
      return "--cap3d: a net is named GROUND, the name of the substrate in a cap3d file";
  }
  return "";
}

std::string write_cap3d(std::ostream& out, const Cap3dSource& source, const Stack& stack,
                        const std::vector<NamedNet>& nets) {
  Femtometres lo[3] = {source.extent[0], source.extent[1], 0};
  Femtometres hi[3] = {source.extent[2], source.extent[3], 0};
  if (!stack.dielectrics.empty()) hi[2] = stack.dielectrics.back().z_top;
  for (const NamedNet& net : nets) {
    for (const SolidBox& box : net.boxes) {
      for (int32_t a = 0; a < 3; ++a) {
        lo[a] = std::min(lo[a], box.lo[a]);
        hi[a] = std::max(hi[a], box.hi[a]);
      }
    }
  }
  for (const DielectricLayer& layer : stack.dielectrics) {
    if (layer.z_top <= lo[2])
      return "--cap3d: dielectric " + layer.name + " ends at z = " + um(layer.z_top) +
             ", not above the bottom of the structure at z = " + um(lo[2]);
  }
  out << "// " << source.comment << "\n<cap3d>\n<window>\n\tname " << source.window_name << "\n\t"
      << vector_text("v1", lo[0], lo[1], lo[2]) << "\n\t" << vector_text("v2", hi[0], hi[1], hi[2])
      << "\n</window>\n";
  if (stack.dielectrics.empty())
    out << "<plate_medium>\n\tname vacuum\n\tdiel 1\n\tz_top " << um(hi[2])
        << "\n</plate_medium>\n";
  for (size_t k = 0; k < stack.dielectrics.size(); ++k) {
    const DielectricLayer& layer = stack.dielectrics[k];
    Femtometres top = k + 1 == stack.dielectrics.size() ? hi[2] : layer.z_top;
    out << "<plate_medium>\n\tname " << layer.name << "\n\tdiel " << layer.permittivity
        << "\n\tz_top " << um(top) << "\n</plate_medium>\n";
  }
  write_layers(out, stack);
  for (const NamedNet& net : nets) write_conductor(out, net, stack.layers.size());
  out << "<task>\n\t<capacitance>\n";
  for (size_t k : source.masters) out << "\t\t" << cap3d_name(nets[k]) << '\n';
  out << "\t</capacitance>\n</task>\n</cap3d>\n";
  return "";
}
