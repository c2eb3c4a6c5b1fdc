#include "structure/panel_file_reader.h"

#include "geometry/panel_reader.h"
#include "model/panel.h"
#include "structure/panel_contacts.h"
#include "structure/rect_from_corners.h"

namespace {

/// A conductor label as it is compared with the next record's.
struct LabelKey {
  bool is_number;  // the label is a 32-bit integer, compared by value; else by its text
  int32_t number;  // that value; 0 when is_number is false
};

LabelKey key_of(const std::string& label) {
  LabelKey key{false, 0};
  key.is_number = parse_int32(label, key.number);
  return key;
}

/// Reads the rest of record `record` after its "Q": its label into `label` and its rectangle
/// into `rect`. "" or the message.
std::string read_fine_record(std::istream& in, uint32_t record, std::string& label,
                             AxisRect& rect) {
  // The label is the record's second token, whatever it is: "Q" too.
  std::string error = read_conductor_token(in, record, label);
  if (!error.empty()) return error;
  Panel panel;  // its vertices, centre and area as vornax's reader sets them
  error = read_record_corners(in, record, panel);
  if (error.empty()) error = complete_panel_geometry(record, panel);
  if (!error.empty()) return error;
  std::string fault = axis_rect_from_corners(panel.vertices, rect);
  return fault.empty() ? "" : record_error(record, fault);
}

}  // namespace

std::string read_fine_structure(std::istream& in, const std::string& file_name,
                                FineStructure& out) {
  out = FineStructure();
  std::string token, label;
  AxisRect rect;
  LabelKey run_key{false, 0};  // of the last conductor so far
  while (in >> token) {
    if (token != "Q") continue;
    uint32_t record = static_cast<uint32_t>(out.panels.size()) + 1;
    std::string error = read_fine_record(in, record, label, rect);
    if (!error.empty()) return error;
    LabelKey key = key_of(label);
    bool same_run =
        !out.conductors.empty() && key.is_number == run_key.is_number &&
        (key.is_number ? key.number == run_key.number : label == out.conductors.back().label);
    if (!same_run) {
      out.conductors.push_back(FineConductor{label, record - 1, 0});
      run_key = key;
    }
    out.conductors.back().panel_count += 1;
    out.conductor_of_panel.push_back(static_cast<uint32_t>(out.conductors.size()) - 1);
    out.panels.push_back(rect);
  }
  if (out.panels.empty()) return no_records_error(file_name);
  // A panel file says nothing of the medium: one of permittivity 1, no side known.
  out.panel_sides.assign(out.panels.size(), PanelSide{0, 1.0, 1.0});
  return check_panel_contacts(out);
}
