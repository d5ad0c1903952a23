#include "shell/marker_strings.h"

namespace ORV {

std::vector<std::string> MarkerStrings::KeyItems(const std::string& prefix) {
  std::vector<std::string> items;
  for (int key = 1; key <= kMarkerKeys; ++key) items.push_back(prefix + "F" + std::to_string(key));
  return items;
}

std::optional<std::string> MarkerStrings::Select(int key, const std::string& editText) {
  texts_.at(static_cast<std::size_t>(current_)) = editText;
  if (key < 0 || key >= kMarkerKeys) return std::nullopt;
  current_ = key;
  return texts_[static_cast<std::size_t>(key)];
}

const MarkerTexts& MarkerStrings::Accept(const std::string& editText) {
  texts_.at(static_cast<std::size_t>(current_)) = editText;
  return texts_;
}

}  // namespace ORV
