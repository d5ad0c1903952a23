#pragma once
// The program's icons, drawn for it as SVG documents in resources/icons/ and
// built into the program. Each is named for what it shows
// ("icons/apply.svg") and known to the code by its resource id.
#include <QByteArray>

namespace ORV::UI {

// The resource ids of the icons.
inline constexpr int kIconApply = 325;        // a white tick on a green disc
inline constexpr int kIconMenu = 346;         // three bars over a drop-down arrow
inline constexpr int kIconRotateLeft = 363;   // an arc turning anticlockwise
inline constexpr int kIconRotateRight = 364;  // an arc turning clockwise
inline constexpr int kIconSettings = 414;     // a cog wheel

// The SVG document of icon `id`; empty when there is none.
QByteArray LoadIconResource(int id);

}  // namespace ORV::UI
