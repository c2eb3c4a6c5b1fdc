#include "tools/svg_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/isometric_projection.h"

namespace {

const double kMargin = 20.0;         // blank border around everything, px
const double kTop = 50.0;            // the drawing starts below the caption
const double kDrawingWidth = 760.0;  // the drawing fits this box, aspect kept
const double kDrawingHeight = 560.0;
const double kLegendRow = 18.0;       // height of one legend entry
const int32_t kLegendRows = 30;       // entries per legend column
const double kLegendColumn = 110.0;   // least width of one legend column
const double kLegendCharacter = 7.0;  // room for one character of a label

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

/// Text for an XML text node or attribute: markup characters escaped,
/// control and non-ASCII bytes shown as '?' so the document stays well-formed
/// whatever bytes a file name holds.
std::string xml_text(const std::string& raw) {
  std::string text;
  for (char c : raw) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '&') {
      text += "&amp;";
    } else if (c == '<') {
      text += "&lt;";
    } else if (c == '>') {
      text += "&gt;";
    } else if (c == '"') {
      text += "&quot;";
    } else if (u < 0x20 || u >= 0x7f) {
      text += '?';
    } else {
      text += c;
    }
  }
  return text;
}

/// "#rrggbb" of the colour with hue `hue` (degrees), saturation 0.55 and
/// lightness `lightness`, converted from HSL.
std::string colour(double hue, double lightness) {
  double chroma = (1.0 - std::fabs(2.0 * lightness - 1.0)) * 0.55;
  double h = hue / 60.0;
  double second = chroma * (1.0 - std::fabs(std::fmod(h, 2.0) - 1.0));
  double rgb[3] = {0.0, 0.0, 0.0};
  int sector = static_cast<int>(h) % 6;
  const int largest[6] = {0, 1, 1, 2, 2, 0};
  const int middle[6] = {1, 0, 2, 1, 0, 2};
  rgb[largest[sector]] = chroma;
  rgb[middle[sector]] = second;
  char text[8];
  int channel[3];
  for (int k = 0; k < 3; ++k) {
    channel[k] = static_cast<int>(std::lround((rgb[k] + lightness - chroma / 2.0) * 255.0));
  }
  std::snprintf(text, sizeof text, "#%02x%02x%02x", channel[0], channel[1], channel[2]);
  return text;
}

/// Golden-angle steps keep the hues of neighbouring conductors far apart.
double hue_of(int32_t conductor) { return std::fmod(conductor * 137.508, 360.0); }

/// Tops and bottoms lightest, faces across x medium, faces across y darkest,
/// so a box reads as a solid.
double lightness_of(const PictureFace& face) {
  if (face.corners[0].z == face.corners[2].z) return 0.72;
  if (face.corners[0].x == face.corners[2].x) return 0.58;
  return 0.46;
}

Point3 centre_of(const PictureFace& face) {
  const Point3& a = face.corners[0];
  const Point3& c = face.corners[2];
  return Point3{(a.x + c.x) * 0.5, (a.y + c.y) * 0.5, (a.z + c.z) * 0.5};
}

}  // namespace

void sort_back_to_front(std::vector<PictureFace>& faces) {
  std::stable_sort(faces.begin(), faces.end(), [](const PictureFace& a, const PictureFace& b) {
    return depth(centre_of(a)) > depth(centre_of(b));
  });
}

std::string render_svg(const Picture& picture) {
  std::vector<PictureFace> faces = picture.faces;
  sort_back_to_front(faces);

  // Extent of the projected structure, to fit it into the drawing box.
  double left = 0.0, right = 0.0, top = 0.0, bottom = 0.0;
  bool first = true;
  for (const PictureFace& face : faces) {
    for (const Point3& corner : face.corners) {
      ScreenPoint s = project(corner);
      left = first ? s.x : std::min(left, s.x);
      right = first ? s.x : std::max(right, s.x);
      top = first ? s.y : std::min(top, s.y);
      bottom = first ? s.y : std::max(bottom, s.y);
      first = false;
    }
  }
  double extent_x = right - left, extent_y = bottom - top;
  double scale = 1.0;
  if (extent_x > 0.0 || extent_y > 0.0) {
    scale = std::min(extent_x > 0.0 ? kDrawingWidth / extent_x : HUGE_VAL,
                     extent_y > 0.0 ? kDrawingHeight / extent_y : HUGE_VAL);
  }

  int32_t conductors = static_cast<int32_t>(picture.conductor_labels.size());
  int32_t columns = std::max<int32_t>(1, (conductors + kLegendRows - 1) / kLegendRows);
  int32_t rows = std::min(conductors, kLegendRows);
  double column_width = kLegendColumn;
  for (const std::string& label : picture.conductor_labels)
    column_width = std::max(column_width, 30.0 + kLegendCharacter * label.size());
  double legend_x = kMargin + extent_x * scale + 40.0;
  double width = legend_x + columns * column_width + kMargin;
  double height = std::max(kTop + extent_y * scale, kTop + kLegendRow * (rows + 1)) + kMargin;

  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + number(width) + "\" height=\"" +
         number(height) + "\" viewBox=\"0 0 " + number(width) + " " + number(height) + "\">\n";
  std::string caption = xml_text(picture.caption);
  svg += "<title>" + caption + "</title>\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  svg += "<text x=\"" + number(kMargin) + "\" y=\"" + number(kMargin + 10.0) +
         "\" font-family=\"sans-serif\" font-size=\"14\">" + caption + "</text>\n";

  svg += std::string("<g stroke=\"#202020\" stroke-linejoin=\"round\" stroke-width=\"") +
         (picture.fine_outlines ? "0.4" : "1") + "\">\n";
  for (const PictureFace& face : faces) {
    svg += "<polygon points=\"";
    for (int k = 0; k < 4; ++k) {
      ScreenPoint s = project(face.corners[k]);
      svg += number(kMargin + (s.x - left) * scale) + "," + number(kTop + (s.y - top) * scale) +
             (k < 3 ? " " : "");
    }
    svg += "\" fill=\"" + colour(hue_of(face.conductor), lightness_of(face)) + "\"/>\n";
  }
  svg += "</g>\n";

  svg += "<g font-family=\"sans-serif\" font-size=\"12\">\n";
  svg +=
      "<text x=\"" + number(legend_x) + "\" y=\"" + number(kTop + 12.0) + "\">conductor</text>\n";
  for (int32_t c = 0; c < conductors; ++c) {
    double x = legend_x + (c / kLegendRows) * column_width;
    double y = kTop + kLegendRow * (c % kLegendRows + 1);
    svg += "<g class=\"legend-entry\"><rect x=\"" + number(x) + "\" y=\"" + number(y + 2.0) +
           "\" width=\"14\" height=\"14\" stroke=\"#202020\" fill=\"" + colour(hue_of(c), 0.58) +
           "\"/><text x=\"" + number(x + 20.0) + "\" y=\"" + number(y + 13.0) + "\">" +
           xml_text(picture.conductor_labels[c]) + "</text></g>\n";
  }
  svg += "</g>\n</svg>\n";
  return svg;
}
