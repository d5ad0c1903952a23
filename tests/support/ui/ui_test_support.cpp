#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

#include "platform/ui/dialog.h"
#include "platform/ui/dpi.h"

namespace ORV::Test {

bool ProcessEventsUntil(const std::function<bool()>& done, int limitMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > limitMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

int RunModal(UI::Dialog& dialog, const std::function<void()>& script) {
  bool leftOpen = false;
  QTimer::singleShot(0, &dialog, [&] {
    script();
    if (dialog.isVisible()) {
      leftOpen = true;
      dialog.done(-1);
    }
  });
  const int result = dialog.DoModal();
  EXPECT_FALSE(leftOpen) << "the script left the dialog open";
  return result;
}

ScopedDpi::ScopedDpi(int dpi) {
  SetDpiProvider([dpi] { return dpi; });
}

ScopedDpi::~ScopedDpi() { UI::InstallScreenDpiProvider(); }

QImage RenderAtUnitScale(QWidget& widget) {
  widget.ensurePolished();
  QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  widget.render(&image);
  return image;
}

namespace {

void SendMouse(QWidget& widget, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held,
               Qt::KeyboardModifiers modifiers, QPoint at) {
  QMouseEvent event(type, QPointF(at), widget.mapToGlobal(QPointF(at)), button, held, modifiers);
  QApplication::sendEvent(&widget, &event);
}

}  // namespace

void MouseMove(QWidget& widget, QPoint at, Qt::MouseButtons held, Qt::KeyboardModifiers modifiers) {
  SendMouse(widget, QEvent::MouseMove, Qt::NoButton, held, modifiers, at);
}

void MousePress(QWidget& widget, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint at) {
  SendMouse(widget, QEvent::MouseButtonPress, button, button, modifiers, at);
}

void MouseRelease(QWidget& widget, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint at) {
  SendMouse(widget, QEvent::MouseButtonRelease, button, Qt::NoButton, modifiers, at);
}

void MouseClick(QWidget& widget, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint at) {
  MousePress(widget, button, modifiers, at);
  MouseRelease(widget, button, modifiers, at);
}

void MouseDClick(QWidget& widget, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint at) {
  MousePress(widget, button, modifiers, at);
  SendMouse(widget, QEvent::MouseButtonDblClick, button, button, modifiers, at);
}

QImage SaveUiArtifact(QWidget& widget, const std::string& name) {
  const QString dir = QStringLiteral(ORV_UI_ARTIFACT_DIR);
  QDir().mkpath(dir);
  widget.ensurePolished();
  // The reviewer's picture is what the screen shows, in device pixels.
  QImage shown = widget.grab().toImage();
  EXPECT_TRUE(shown.save(dir + u'/' + QString::fromStdString(name) + QStringLiteral(".png"))) << name;
  shown.setDevicePixelRatio(1.0);
  if (shown.size() == widget.size()) return shown;
  // On a scaled screen the tests still probe one pixel per widget unit.
  return RenderAtUnitScale(widget);
}

}  // namespace ORV::Test
