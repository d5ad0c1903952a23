#include "platform/ui/string_table.h"

#include <cctype>
#include <charconv>

#include "core/base/event_log.h"
#include "platform/ui/resources.h"

namespace ORV::UI {
namespace {

constexpr std::string_view kProgramTable = "strings/tarvix5.txt";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool IsNameCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Reads one "id name "text"" line (the name may be left out) from its first
// character.
bool ParseEntry(std::string_view line, std::uint32_t& id, std::string& text, std::string& why) {
  std::size_t i = 0;
  const auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), id);
  i = static_cast<std::size_t>(end - line.data());
  if (ec != std::errc() || i == 0) {
    why = "no id";
    return false;
  }
  if (i == line.size() || !IsBlank(line[i])) {
    why = "no blank after the id";
    return false;
  }
  while (i < line.size() && IsBlank(line[i])) ++i;
  if (i < line.size() && IsNameCharacter(line[i])) {
    while (i < line.size() && IsNameCharacter(line[i])) ++i;
    if (i == line.size()) {
      why = "no opening quote";
      return false;
    }
    if (!IsBlank(line[i])) {
      why = "no blank after the name";
      return false;
    }
    while (i < line.size() && IsBlank(line[i])) ++i;
  }
  if (i == line.size() || line[i] != '"') {
    why = "no opening quote";
    return false;
  }
  ++i;
  text.clear();
  for (;;) {
    if (i == line.size()) {
      why = "no closing quote";
      return false;
    }
    const char c = line[i++];
    if (c == '"') break;
    if (c != '\\') {
      text += c;
      continue;
    }
    if (i == line.size()) {
      why = "a backslash ends the line";
      return false;
    }
    switch (line[i++]) {
      case '"':
        text += '"';
        break;
      case '\\':
        text += '\\';
        break;
      case 'n':
        text += '\n';
        break;
      case 't':
        text += '\t';
        break;
      default:
        why = "unknown escape";
        return false;
    }
  }
  while (i < line.size() && IsBlank(line[i])) ++i;
  if (i != line.size()) {
    why = "text after the closing quote";
    return false;
  }
  return true;
}

}  // namespace

bool StringTable::Parse(std::string_view text, std::string* error) {
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const std::size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
    while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
    while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    std::uint32_t id = 0;
    std::string value;
    std::string why;
    if (ParseEntry(line, id, value, why) && !strings_.emplace(id, std::move(value)).second) why = "duplicate id";
    if (!why.empty()) {
      if (error) *error = "line " + std::to_string(lineNumber) + ": " + why;
      return false;
    }
  }
  return true;
}

bool StringTable::Find(std::uint32_t id, std::string& text) const {
  const auto it = strings_.find(id);
  if (it == strings_.end()) return false;
  text = it->second;
  return true;
}

const StringTable& ProgramStrings() {
  static const StringTable table = [] {
    StringTable t;
    std::string error;
    const auto data = FindResource(kProgramTable);
    if (!data)
      LogError("ProgramStrings() - the string table is not built into the program");
    else if (!t.Parse(*data, &error))
      LogError("ProgramStrings() - the string table is damaged at " + error);
    return t;
  }();
  return table;
}

bool LoadString(std::uint32_t id, std::string& text) { return ProgramStrings().Find(id, text); }

std::string LoadString(std::uint32_t id) {
  std::string text;
  if (!LoadString(id, text)) LogWarning("LoadString() - no string with the id " + std::to_string(id));
  return text;
}

QString LoadQString(std::uint32_t id) { return QString::fromStdString(LoadString(id)); }

QString ApplicationTitle() { return LoadQString(kAppTitleString); }

std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args) {
  std::string text;
  auto next = args.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's' && next != args.end()) {
      text.append(*next++);
      ++i;
    } else {
      text.push_back(pattern[i]);
    }
  }
  return text;
}

std::string LoadFormatted(std::uint32_t id, std::initializer_list<std::string_view> args) {
  return FormatText(LoadString(id), args);
}

}  // namespace ORV::UI
