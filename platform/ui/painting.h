#pragma once
// Painting helpers shared by panes and controls: the system colours, colour
// values as the program stores them, 3-D edges and frames, and text drawn
// with a transparent background.
#include <QColor>
#include <QRect>
#include <QString>
#include <cstdint>

class QPainter;

namespace ORV::UI {

// A colour value as the program stores it: 0x00BBGGRR.
using COLORREF = std::uint32_t;
// Stands for "the system's colour for this use" where a control keeps a colour.
inline constexpr COLORREF CLR_DEFAULT = 0xFF000000;

QColor FromColorRef(COLORREF c);
COLORREF ToColorRef(const QColor& c);

// The system colours the program draws with, from the application palette.
enum class SystemColor {
  ButtonFace,
  ButtonText,
  ButtonHighlight,  // the light outer top-left line of a raised edge
  ButtonLight,      // the inner top-left line of a raised edge
  ButtonShadow,
  ButtonDarkShadow,
  GrayText,
  Highlight,  // selection and progress-bar colour
  Window,
  WindowText,
  ActiveBorder,
};
QColor GetSysColor(SystemColor which);

// Two-colour frame one pixel wide: top and left in `topLeft`, bottom and
// right in `bottomRight`. The rectangle's right and bottom are exclusive.
void Draw3dRect(QPainter& painter, const QRect& rect, const QColor& topLeft, const QColor& bottomRight);

enum class Edge {
  Raised,      // two lines each side: the classic raised button
  Sunken,      // two lines each side: the classic sunken field
  Etched,      // a groove: sunken outer line, raised inner line
  FlatSunken,  // one line each side in the shadow colour
};
// Draws the edge inside `rect` and returns the rectangle left inside it.
QRect DrawEdge(QPainter& painter, const QRect& rect, Edge edge);

// An etched frame, as panes draw round a group of values.
void DrawEtchedFrame(QPainter& painter, const QRect& rect);

// Text in the painter's pen and font with nothing drawn behind it.
void DrawTransparentText(QPainter& painter, const QRect& rect, const QString& text, int alignment);

}  // namespace ORV::UI
