#include "structure/cap3d_nets.h"

#include <map>

#include "common/message_text.h"
#include "structure/box_index.h"
#include "structure/cap3d_lines.h"

std::string net_of_conductor(const std::string& name) {
  const size_t mark = name.find("__");
  if (mark == std::string::npos || mark == 0 || mark + 2 == name.size()) return name;
  return name.substr(mark + 2);
}

std::string gather_nets(const Cap3dFile& file, const std::string& file_name, Cap3dNets& nets) {
  nets = Cap3dNets();
  std::map<std::string, uint32_t> net_of_name;
  for (const Cap3dConductor& conductor : file.conductors) {
    const std::string name = net_of_conductor(conductor.name);
    auto known = net_of_name.emplace(name, static_cast<uint32_t>(nets.names.size()));
    if (known.second) nets.names.push_back(name);
    for (const Cap3dBlock& block : conductor.blocks) {
      nets.boxes.push_back(block.box);
      nets.net_of_box.push_back(known.first->second);
      nets.line_of_box.push_back(block.line);
    }
  }
  const BoxIndex index(nets.boxes);
  for (uint32_t k = 0; k < nets.boxes.size(); ++k) {
    uint32_t first = k;  // the earliest block of another net that meets block k
    index.for_each_meeting(nets.boxes[k], [&](uint32_t m) {
      if (m < first && nets.net_of_box[m] != nets.net_of_box[k]) first = m;
    });
    if (first == k) continue;
    const bool overlap = boxes_overlap(nets.boxes[k], nets.boxes[first]);
    return cap3d_error(file_name, nets.line_of_box[k],
                       "a block of net '" + printable(nets.names[nets.net_of_box[k]]) + "' " +
                           (overlap ? "overlaps" : "touches") + " the block of net '" +
                           printable(nets.names[nets.net_of_box[first]]) + "' on line " +
                           std::to_string(nets.line_of_box[first]) +
                           "; blocks of different nets may not meet");
  }
  return "";
}

std::string task_nets(const Cap3dFile& file, const std::string& file_name, const Cap3dNets& nets,
                      std::vector<uint32_t>& masters) {
  masters.clear();
  std::map<std::string, uint32_t> net_of_name, asked_on;
  for (uint32_t n = 0; n < nets.names.size(); ++n) net_of_name[nets.names[n]] = n;
  for (const Cap3dTaskName& asked : file.task) {
    auto net = net_of_name.find(asked.name);
    if (net == net_of_name.end()) {
      return cap3d_error(file_name, asked.line,
                         "the task asks for net '" + printable(asked.name) +
                             "', which no conductor of the file forms");
    }
    auto before = asked_on.emplace(asked.name, asked.line);
    if (!before.second) {
      return cap3d_error(file_name, asked.line,
                         "the task asks for net '" + printable(asked.name) +
                             "' a second time; the first is on line " +
                             std::to_string(before.first->second));
    }
    masters.push_back(net->second);
  }
  return "";
}
