#pragma once
// The string table: the program's texts (captions, messages, labels), each
// used by its numeric id, which the code writes by its name. The texts live in resources/strings/tarvix5.txt and
// are built into the program.
#include <QString>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>

// The ids by their names (kAppTitleString, the application title and caption
// of the program's message boxes, ...), made from the table by the build.
#include "platform/ui/string_ids.h"

namespace ORV::UI {

class StringTable {
 public:
  // Reads the table's text form (see resources/strings/tarvix5.txt). On an
  // error returns false with the line and the reason in `error`, and keeps
  // the entries read before it.
  bool Parse(std::string_view text, std::string* error = nullptr);

  // False when there is no text by that id.
  bool Find(std::uint32_t id, std::string& text) const;
  std::size_t Size() const { return strings_.size(); }

 private:
  std::unordered_map<std::uint32_t, std::string> strings_;
};

// The program's table.
const StringTable& ProgramStrings();

// One text of the program's table, false when it has none by that id.
bool LoadString(std::uint32_t id, std::string& text);
// One text; a missing id gives an empty text and an event-log warning.
std::string LoadString(std::uint32_t id);
QString LoadQString(std::uint32_t id);
QString ApplicationTitle();
// `pattern` with each "%s" in turn replaced by the next of `args` (a "%s"
// beyond them stays as it is).
std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args);
// The text `id` formatted so.
std::string LoadFormatted(std::uint32_t id, std::initializer_list<std::string_view> args);

}  // namespace ORV::UI
