#pragma once
// DPI scaling. Sizes and positions in the program are given in pixels at 96
// dots per inch and scaled as value x DPI / 96.
//
// The DPI is the process's DPI provider (core/base/dpi.h): the GUI
// installs one that answers the primary screen's logical DPI, and tests
// install a fixed value. Without a provider or a screen it is 96.
#include <QFont>
#include <QRect>
#include <QSize>

#include "core/base/dpi.h"

namespace ORV::UI {

// Installs the screen's logical DPI as the process's DPI provider and keeps
// it current when the primary screen changes. GUI thread, after the
// application object exists.
void InstallScreenDpiProvider();

// The DPI that sizes are scaled with now is QueryDpi(), and one value is
// scaled with ScaleByDpi (core/base/dpi.h); these scale Qt's sizes and
// rectangles the same way.
QSize ScaleSize(int width, int height, int dpi);
// A rectangle given by its edges at 96 DPI (left, top, right, bottom; right
// and bottom exclusive).
QRect ScaleRect(int left, int top, int right, int bottom, int dpi);

// `font` at the DPI that sizes are scaled with: its point size times
// QueryDpi() over the screen's logical DPI. The same font on the screen the
// DPI was read from; larger or smaller while a test holds the DPI at another
// value, so that renders at 144 DPI show what a 144-DPI screen shows.
QFont ScaleFontToDpi(QFont font);

}  // namespace ORV::UI
