#include "fine/media/image_term.h"

AxisRect image_rect(const AxisRect& source, const ImageTerm& term) {
  AxisRect image = source;
  if (source.axis == 2) {
    image.plane = image_z(source.plane, term);
    return image;
  }
  // z runs along (axis + 1) % 3 or (axis + 2) % 3: index 0 for a y-normal, 1 for an x-normal.
  const int k = source.axis == 1 ? 0 : 1;
  if (term.mirror) {
    image.lo[k] = term.offset - source.hi[k];
    image.hi[k] = term.offset - source.lo[k];
  } else {
    image.lo[k] = term.offset + source.lo[k];
    image.hi[k] = term.offset + source.hi[k];
  }
  return image;
}
