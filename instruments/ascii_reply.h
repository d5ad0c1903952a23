#pragma once
// Reading and writing the numbers of the ASCII instruments' commands and
// replies, always with "." as the decimal point whatever the user's locale.
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ORV {

// A reply is complete when its closing CR arrived. A reply cut short by a
// time-out may end inside a number ("37" of "37.5"), so its values are not
// taken.
bool IsCompleteReply(std::string_view reply);

// The number a single-value reply carries after its first character
// (">37.5" CR gives 37.5). Nothing unless the reply is complete, begins with
// `lead` and the rest is one finite number.
std::optional<double> ReplyNumber(std::string_view reply, char lead = '>');

// Reads the first out.size() fields as numbers; false (and `out` unchanged)
// when there are fewer fields or one of them is not a finite number.
bool ParseNumberFields(const std::vector<std::string>& fields, std::span<float> out);

// Like printf("%0*.*f", width, decimals, v): fixed notation, zeros after the
// sign up to `width` characters.
std::string FormatZeroPadded(double v, int width, int decimals);

}  // namespace ORV
