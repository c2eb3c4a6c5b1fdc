#include "structure/box_index.h"

namespace {

const uint32_t kLeafSize = 4;  // boxes a leaf holds at most

}  // namespace

BoxIndex::BoxIndex(const std::vector<SolidBox>& boxes) : boxes_(boxes) {
  build_box_hierarchy(boxes_, order_, nodes_, kLeafSize);
}
