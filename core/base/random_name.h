#pragma once
// Short random names (working folders, temporary files).
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace ORV {

// The 30 characters random names are made of.
inline constexpr std::string_view kRandomNameAlphabet = "abcDefGhiJklMnoPQrsT0123456789";
// Four characters of the alphabet chosen from one draw of `draw`.
std::string MakeRandomName(const std::function<std::uint32_t()>& draw);
// Draws from a generator seeded with the tick count.
std::string MakeRandomName();

}  // namespace ORV
