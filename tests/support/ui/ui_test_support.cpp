#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
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

QImage SaveUiArtifact(QWidget& widget, const std::string& name) {
  const QString dir = QStringLiteral(ORV_UI_ARTIFACT_DIR);
  QDir().mkpath(dir);
  widget.ensurePolished();
  QImage image = widget.grab().toImage();
  image.setDevicePixelRatio(1.0);
  EXPECT_TRUE(image.save(dir + u'/' + QString::fromStdString(name) + QStringLiteral(".png"))) << name;
  return image;
}

}  // namespace ORV::Test
