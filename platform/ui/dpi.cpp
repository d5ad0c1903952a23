#include "platform/ui/dpi.h"

#include <QGuiApplication>
#include <QScreen>
#include <atomic>
#include <cmath>

#include "core/base/dpi.h"

namespace ORV::UI {
namespace {

// Read on any thread; written on the GUI thread when the screen changes.
std::atomic<int> g_screenDpi{0};

void ReadScreenDpi() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const int dpi = screen ? static_cast<int>(std::lround(screen->logicalDotsPerInch())) : 0;
  g_screenDpi.store(dpi > 0 ? dpi : DefaultDpi());
}

}  // namespace

void InstallScreenDpiProvider() {
  auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  if (!app) return;
  ReadScreenDpi();
  QObject::connect(app, &QGuiApplication::primaryScreenChanged, app, [](QScreen*) { ReadScreenDpi(); });
  SetDpiProvider([] { return g_screenDpi.load(); });
}

QFont ScaleFontToDpi(QFont font) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double screenDpi = screen ? screen->logicalDotsPerInch() : 0.0;
  const int dpi = QueryDpi();
  if (screenDpi <= 0.0 || dpi <= 0 || std::lround(screenDpi) == dpi) return font;
  if (font.pointSizeF() > 0) {
    font.setPointSizeF(font.pointSizeF() * dpi / screenDpi);
  } else if (font.pixelSize() > 0) {
    font.setPixelSize(static_cast<int>(std::lround(font.pixelSize() * dpi / screenDpi)));
  }
  return font;
}

QSize ScaleSize(int width, int height, int dpi) { return {ScaleByDpi(width, dpi), ScaleByDpi(height, dpi)}; }

QRect ScaleRect(int left, int top, int right, int bottom, int dpi) {
  const int l = ScaleByDpi(left, dpi);
  const int t = ScaleByDpi(top, dpi);
  return {l, t, ScaleByDpi(right, dpi) - l, ScaleByDpi(bottom, dpi) - t};
}

}  // namespace ORV::UI
