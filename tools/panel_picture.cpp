#include "tools/panel_picture.h"

#include <cstdint>
#include <vector>

Picture picture_of_panels(const CapacitanceExtractor& extractor, bool leaves,
                          const std::string& file_name) {
  Picture picture;
  // Conductors are runs of equal numbers among the input panels, the way the
  // reader counts them; a panel's conductor is that of its input panel.
  std::vector<int32_t> conductor_of_input(extractor.input_panel_count);
  for (uint32_t k = 0; k < extractor.input_panel_count; ++k) {
    int32_t number = extractor.panels[k].conductor;
    if (k == 0 || number != extractor.panels[k - 1].conductor) {
      picture.conductor_numbers.push_back(number);
    }
    conductor_of_input[k] = static_cast<int32_t>(picture.conductor_numbers.size()) - 1;
  }

  uint32_t end = leaves ? extractor.panels.size() : extractor.input_panel_count;
  for (uint32_t k = 0; k < end; ++k) {
    const Panel& panel = extractor.panels[k];
    if (leaves && panel.first_child != -1) continue;
    PictureFace face;
    for (int v = 0; v < 4; ++v) face.corners[v] = panel.vertices[v];
    face.conductor = conductor_of_input[panel.root_index];
    picture.faces.push_back(face);
  }

  picture.fine_outlines = leaves;
  size_t conductors = picture.conductor_numbers.size();
  picture.caption = file_name + ": " + std::to_string(conductors) +
                    (conductors == 1 ? " conductor, " : " conductors, ") +
                    std::to_string(picture.faces.size()) +
                    (leaves ? " leaf panels after pair refinement" : " panels");
  return picture;
}
