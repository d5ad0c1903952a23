#pragma once
// The marker texts of the function keys F1 to F12 as the "Marker strings"
// dialog edits them: a working copy of the twelve texts, the key being
// edited, and what a change of key, OK and Cancel do to the copy. No Qt.
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace ORV {

inline constexpr int kMarkerKeys = 12;
using MarkerTexts = std::array<std::string, kMarkerKeys>;

class MarkerStrings {
 public:
  // Opens on F1 with a copy of the configuration's texts.
  explicit MarkerStrings(const MarkerTexts& texts) : texts_(texts) {}

  // The key list's items: "<prefix>F1" .. "<prefix>F12".
  static std::vector<std::string> KeyItems(const std::string& prefix);

  int Current() const { return current_; }
  const std::string& Text(int key) const { return texts_.at(static_cast<std::size_t>(key)); }

  // Another key was chosen: the edit's text stays with the key being
  // edited, and the chosen key (0 = F1) becomes the current one. Its text,
  // for the edit; nothing (and no change of key) for an index outside.
  std::optional<std::string> Select(int key, const std::string& editText);
  // OK: the edit's text stays with the current key; the twelve texts to
  // store. (Cancel simply drops the object.)
  const MarkerTexts& Accept(const std::string& editText);

 private:
  MarkerTexts texts_;
  int current_ = 0;
};

}  // namespace ORV
