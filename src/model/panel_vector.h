#pragma once

#include <cstdint>
#include <vector>

#include "model/panel.h"

/// Every panel of every tree, held by value, input panels first. Append only:
/// a panel's position never changes, but appending may move the storage, so no
/// reference into it is kept across an append.
class PanelVector {
 public:
  void append(const Panel& panel) { panels_.push_back(panel); }
  Panel& operator[](int32_t position) { return panels_[position]; }
  const Panel& operator[](int32_t position) const { return panels_[position]; }
  uint32_t size() const { return static_cast<uint32_t>(panels_.size()); }
  void release() { std::vector<Panel>().swap(panels_); }

 private:
  std::vector<Panel> panels_;
};
