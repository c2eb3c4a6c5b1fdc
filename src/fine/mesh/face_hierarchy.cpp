#include "fine/mesh/face_hierarchy.h"

namespace {

const uint32_t kLeafSize = 4;  // faces a leaf holds at most

}  // namespace

FaceHierarchy::FaceHierarchy(const std::vector<SpaceBox>& boxes) : boxes_(boxes) {
  build_box_hierarchy(boxes_, order_, nodes_, kLeafSize);
}
