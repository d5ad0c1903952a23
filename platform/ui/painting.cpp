#include "platform/ui/painting.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>

namespace ORV::UI {

QColor FromColorRef(COLORREF c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

COLORREF ToColorRef(const QColor& c) {
  return static_cast<COLORREF>(c.red()) | (static_cast<COLORREF>(c.green()) << 8) |
         (static_cast<COLORREF>(c.blue()) << 16);
}

QColor GetSysColor(SystemColor which) {
  const QPalette p = QApplication::palette();
  switch (which) {
    case SystemColor::ButtonFace:
      return p.color(QPalette::Button);
    case SystemColor::ButtonText:
      return p.color(QPalette::ButtonText);
    case SystemColor::ButtonHighlight:
      return p.color(QPalette::Light);
    case SystemColor::ButtonLight:
      return p.color(QPalette::Midlight);
    case SystemColor::ButtonShadow:
      return p.color(QPalette::Dark);
    case SystemColor::ButtonDarkShadow:
      return p.color(QPalette::Shadow);
    case SystemColor::GrayText:
      return p.color(QPalette::Disabled, QPalette::Text);
    case SystemColor::Highlight:
      return p.color(QPalette::Highlight);
    case SystemColor::Window:
      return p.color(QPalette::Base);
    case SystemColor::WindowText:
      return p.color(QPalette::Text);
    case SystemColor::ActiveBorder:
      return p.color(QPalette::Mid);
  }
  return {};
}

void Draw3dRect(QPainter& painter, const QRect& rect, const QColor& topLeft, const QColor& bottomRight) {
  if (rect.width() <= 0 || rect.height() <= 0) return;
  const int l = rect.left(), t = rect.top();
  const int w = rect.width(), h = rect.height();
  painter.fillRect(l, t, w - 1, 1, topLeft);
  painter.fillRect(l, t, 1, h - 1, topLeft);
  painter.fillRect(l + w - 1, t, 1, h, bottomRight);
  painter.fillRect(l, t + h - 1, w, 1, bottomRight);
}

QRect DrawEdge(QPainter& painter, const QRect& rect, Edge edge) {
  if (edge == Edge::FlatSunken) {
    const QColor shadow = GetSysColor(SystemColor::ButtonShadow);
    Draw3dRect(painter, rect, shadow, shadow);
    return rect.adjusted(1, 1, -1, -1);
  }
  // Two one-pixel frames, each lit on one side and shaded on the other.
  const QColor hilight = GetSysColor(SystemColor::ButtonHighlight);
  const QColor light = GetSysColor(SystemColor::ButtonLight);
  const QColor shadow = GetSysColor(SystemColor::ButtonShadow);
  const QColor dark = GetSysColor(SystemColor::ButtonDarkShadow);
  struct Lines {
    QColor outerTopLeft, outerBottomRight, innerTopLeft, innerBottomRight;
  };
  const Lines lines = edge == Edge::Raised   ? Lines{hilight, dark, light, shadow}
                      : edge == Edge::Sunken ? Lines{shadow, hilight, dark, light}
                                             : Lines{shadow, hilight, hilight, shadow};  // etched
  Draw3dRect(painter, rect, lines.outerTopLeft, lines.outerBottomRight);
  Draw3dRect(painter, rect.adjusted(1, 1, -1, -1), lines.innerTopLeft, lines.innerBottomRight);
  return rect.adjusted(2, 2, -2, -2);
}

void DrawEtchedFrame(QPainter& painter, const QRect& rect) { DrawEdge(painter, rect, Edge::Etched); }

void DrawTransparentText(QPainter& painter, const QRect& rect, const QString& text, int alignment) {
  const Qt::BGMode saved = painter.backgroundMode();
  painter.setBackgroundMode(Qt::TransparentMode);
  painter.drawText(rect, alignment, text);
  painter.setBackgroundMode(saved);
}

}  // namespace ORV::UI
