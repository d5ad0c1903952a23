#pragma once
// Style bits that controls are created with.
#include <cstdint>

namespace ORV::UI {

inline constexpr std::uint32_t WS_VISIBLE = 0x10000000;
inline constexpr std::uint32_t WS_DISABLED = 0x08000000;
inline constexpr std::uint32_t WS_TABSTOP = 0x00010000;

// Button types (the low five bits of a button's style).
inline constexpr std::uint32_t BS_PUSHBUTTON = 0x0;
inline constexpr std::uint32_t BS_DEFPUSHBUTTON = 0x1;
inline constexpr std::uint32_t BS_CHECKBOX = 0x2;
inline constexpr std::uint32_t BS_AUTOCHECKBOX = 0x3;
inline constexpr std::uint32_t BS_TYPEMASK = 0x1F;

// Progress bars.
inline constexpr std::uint32_t PBS_SMOOTH = 0x01;
inline constexpr std::uint32_t PBS_VERTICAL = 0x04;
inline constexpr std::uint32_t PBS_MARQUEE = 0x08;

}  // namespace ORV::UI
