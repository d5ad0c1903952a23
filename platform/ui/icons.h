#pragma once
// The program's icons, drawn for it as SVG documents in resources/icons/ and
// built into the program, each found by its resource id ("icons/<id>.svg").
#include <QByteArray>

namespace ORV::UI {

// The SVG document of icon `id`; empty when there is none.
QByteArray LoadIconResource(int id);

}  // namespace ORV::UI
