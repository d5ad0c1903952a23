#include "graph_control/property_bag.h"

namespace ORV::Graph {

void PropertyBag::Set(const std::string& key, PropertyValue value) {
  for (auto& [k, v] : entries_) {
    if (k == key) {
      v = std::move(value);
      return;
    }
  }
  entries_.emplace_back(key, std::move(value));
}

const PropertyValue* PropertyBag::Find(const std::string& key) const {
  for (const auto& [k, v] : entries_)
    if (k == key) return &v;
  return nullptr;
}

}  // namespace ORV::Graph
