#pragma once
// The texts a trace view shows, by their ids in the program's string table:
// the display names of the trace kinds (16 + kind), the unit texts (43 +
// unit index) and the word "Zone" (39). The Qt program looks them up in its
// string table; headless code and tests give a lookup of their own.
#include <cstdint>
#include <functional>
#include <string>

namespace ORV::Views {

inline constexpr std::uint32_t kTraceKindNameBase = 16;
inline constexpr std::uint32_t kTraceUnitNameBase = 43;
inline constexpr std::uint32_t kZoneWord = 39;

// The unit index of each built-in kind (0-20).
int TraceUnitIndex(int kind);

// Looks up a text by its string-table id.
using TraceTexts = std::function<std::string(std::uint32_t id)>;

}  // namespace ORV::Views
