#include "tools/panel_picture.h"

#include <cstdint>
#include <vector>

namespace {

std::string caption_of(const std::string& file_name, size_t conductors, size_t faces,
                       const char* what) {
  return file_name + ": " + std::to_string(conductors) +
         (conductors == 1 ? " conductor, " : " conductors, ") + std::to_string(faces) + what;
}

}  // namespace

Picture picture_of_structure(const LabelledPanels& panels, const std::string& file_name) {
  Picture picture;
  picture.conductor_labels = panels.labels;
  for (size_t k = 0; k < panels.corners.size(); ++k) {
    PictureFace face;
    for (int v = 0; v < 4; ++v) face.corners[v] = panels.corners[k][v];
    face.conductor = static_cast<int32_t>(panels.conductor_of_panel[k]);
    picture.faces.push_back(face);
  }
  picture.caption = caption_of(file_name, panels.labels.size(), picture.faces.size(), " panels");
  return picture;
}

Picture picture_of_leaves(const CapacitanceExtractor& extractor, const std::string& file_name) {
  Picture picture;
  // Conductors are runs of equal numbers among the input panels, the way the
  // reader counts them; a panel's conductor is that of its input panel.
  std::vector<int32_t> conductor_of_input(extractor.input_panel_count);
  for (uint32_t k = 0; k < extractor.input_panel_count; ++k) {
    int32_t number = extractor.panels[k].conductor;
    if (k == 0 || number != extractor.panels[k - 1].conductor) {
      picture.conductor_labels.push_back(std::to_string(number));
    }
    conductor_of_input[k] = static_cast<int32_t>(picture.conductor_labels.size()) - 1;
  }
  for (uint32_t k = 0; k < extractor.panels.size(); ++k) {
    const Panel& panel = extractor.panels[k];
    if (panel.first_child != -1) continue;
    PictureFace face;
    for (int v = 0; v < 4; ++v) face.corners[v] = panel.vertices[v];
    face.conductor = conductor_of_input[panel.root_index];
    picture.faces.push_back(face);
  }
  picture.fine_outlines = true;
  picture.caption = caption_of(file_name, picture.conductor_labels.size(), picture.faces.size(),
                               " leaf panels after pair refinement");
  return picture;
}
