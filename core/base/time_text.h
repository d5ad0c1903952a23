#pragma once
// Clock texts: elapsed seconds written as "h:mm:ss" and read back.
#include <cstdint>
#include <string>
#include <string_view>

namespace ORV {

// Whole seconds as "h:mm:ss", "m:ss" or "s".
std::string FormatTimeSeconds(std::uint32_t seconds);
// Seconds with hundredths as "h:mm:ss.ss", "mm:ss.ss" or "ss.ss".
std::string FormatTimeSecondsFraction(double seconds);
// Reads "h:m:s", "m:s" or "s" (digits, ':' and white space only; each field
// may carry a sign) into seconds. A null text, any other character, more
// than two ':' or a field too long to be a time give false.
bool ParseTimeText(const char* text, std::int64_t& seconds);
bool ParseTimeText(std::string_view text, std::int64_t& seconds);

}  // namespace ORV
