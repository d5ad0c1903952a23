#pragma once
// The definition of one custom trace (its Lua code, name, constants, unit and
// axis settings) and the XML file that stores it.
//
// Definition files arrive from other installations (settings archives), so
// the reader treats them as untrusted: a file that is too large, malformed,
// carries code that is not valid Base64, a constant whose name or text does
// not fit, or too many constants, is refused with a message.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ORV::Traces {

// A named constant that the script sees as a global. Fixed size, copied by value.
struct CustomTraceConstant {
  static constexpr std::size_t kTextSize = 50;  // 49 bytes and the terminator
  enum : std::int32_t { kUnknown = 0, kInteger = 1, kString = 2 };

  char name[kTextSize] = {};
  std::int32_t type = kUnknown;
  std::int64_t integer = 0;   // the value of types 0 and 1
  char text[kTextSize] = {};  // the value of type 2

  std::string_view Name() const;
  std::string_view Text() const;
  // False, leaving the field unchanged, when the value is longer than 49
  // bytes or holds a NUL.
  bool SetName(std::string_view value);
  bool SetText(std::string_view value);

  bool operator==(const CustomTraceConstant&) const = default;
};

// One custom trace definition; always held through a shared pointer.
struct CustomTraces {
  std::vector<CustomTraceConstant> Constants;
  bool Stored = false;       // read from its file or saved; false for a new one
  std::string Id;            // GUID text, upper-case, without braces
  std::string CreationDate;  // local time, "%Y-%m-%dT%H:%M:%S%z"
  std::string Code;          // the user's Lua text
  std::string Name;
  std::int32_t ScriptType = 0;  // what drives the trace: 0 pressure, 1 flow, 2 camera samples
  std::int32_t MinimumLimit = 0;
  std::int32_t MaximumLimit = 0;
  std::int32_t HorizontalLabels = 0;
  std::int32_t VerticalLabels = 0;
  bool ShowUnit = false;
  bool AutoRange = false;
  std::int32_t UnitType = 0;  // index into the unit list, 0 = "None", -1 = typed by the user
  std::string UnitTypeString;
  std::string FileName;  // full path of the file it was read from or last saved to

  bool operator==(const CustomTraces&) const = default;
};

// Limits on what a definition file may hold.
inline constexpr std::size_t kMaxDefinitionFileBytes = std::size_t{16} << 20;
inline constexpr std::size_t kMaxConstants = 1000;

// SHA-256 of the bytes of Id followed by the bytes of Code, as 64 upper-case
// hexadecimal digits; with ".xml" it names the definition's file.
std::string ScriptSha256Hex(const CustomTraces& trace);

// A new trace id: a random GUID as 36 upper-case hexadecimal digits and
// dashes, without braces.
std::string NewCustomTraceId();

// The creation date of a trace made at `time`: local time as
// "%Y-%m-%dT%H:%M:%S%z".
std::string FormatCreationDate(std::time_t time);

// Fills `trace` (every field but FileName, Stored set) from the text of a
// definition file. On failure `trace` is left unchanged and `error` says why.
bool ParseCustomTraceXml(std::string_view xml, CustomTraces& trace, std::string& error);

// Reads a definition file. Never null: the record is created with FileName
// set to `path`; when the file cannot be read or is refused it comes back as
// created (all else empty, Stored false) and `error`, when given, says why.
std::shared_ptr<CustomTraces> ReadCustomTraceXml(const std::string& path, std::string* error = nullptr);

// The text of the definition file (UTF-8, tab-indented, Code in one-line Base64).
std::string FormatCustomTraceXml(const CustomTraces& trace);

// Writes the definition file, replacing `path` only once the new file is
// complete. Does not change FileName.
bool WriteCustomTraceXml(const CustomTraces& trace, const std::string& path);

}  // namespace ORV::Traces
