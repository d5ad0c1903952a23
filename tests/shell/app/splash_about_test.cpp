// The splash screen and the about box, with their renders for review.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QtTest/QTest>

#include "core/base/configuration.h"
#include "shell/app/about_dialog.h"
#include "shell/app/splash_screen.h"
#include "tests/shell/app/stub/freshet_recording_stub.h"
#include "tests/support/test_support.h"
#include "tests/support/ui/ui_test_support.h"

using namespace ORV;
using namespace ORV::Shell;

namespace {

std::unique_ptr<CSplashWnd> MakeSplash() {
  auto splash = std::make_unique<CSplashWnd>();
  splash->bitmapId = kSplashBitmapId;
  splash->bitmapIdHighDpi = kSplashBitmapIdHighDpi;
  return splash;
}

}  // namespace

TEST(SplashScreen, PicksThePictureByDpi) {
  const struct {
    int dpi;
    int id;
    int width;
    int height;
  } cases[] = {
      {96, kSplashBitmapId, 480, 300}, {97, kSplashBitmapIdHighDpi, 720, 450}, {144, kSplashBitmapIdHighDpi, 720, 450}};
  for (const auto& c : cases) {
    ORV::Test::ScopedDpi dpi(c.dpi);
    auto splash = MakeSplash();
    splash->Create();
    EXPECT_EQ(splash->PictureId(), c.id) << c.dpi;
    EXPECT_EQ(splash->PictureWidth(), c.width) << c.dpi;
    EXPECT_EQ(splash->PictureHeight(), c.height) << c.dpi;
    EXPECT_EQ(splash->size(), QSize(c.width, c.height)) << c.dpi;
    if (c.dpi == 96 || c.dpi == 144) {
      const QImage shot = ORV::Test::SaveUiArtifact(*splash, "splash_" + std::to_string(c.dpi));
      // The picture is painted, not left blank: its corner has the dark background.
      EXPECT_LT(qGray(shot.pixel(10, 10)), 80) << c.dpi;
    }
    splash->allowClose = 1;
    splash->close();
  }
}

TEST(SplashScreen, LoadsNumberedFilesAndIsEmptyWithoutAPicture) {
  EXPECT_EQ(SplashFileName("/a/splash.bmp", false), "/a/splash@1.bmp");
  EXPECT_EQ(SplashFileName("/a/splash.bmp", true), "/a/splash@2.bmp");
  EXPECT_EQ(SplashFileName("/a/splash.png", true), "/a/splash.png");

  ORV::Test::TempDir dir;
  QImage small(40, 30, QImage::Format_RGB32);
  small.fill(Qt::red);
  ASSERT_TRUE(small.save(QString::fromStdString(dir / "start@1.bmp"), "BMP"));
  {
    ORV::Test::ScopedDpi dpi(96);
    auto splash = MakeSplash();
    splash->loadFromFile = 1;
    splash->fileName = dir / "start.bmp";
    splash->Create();
    EXPECT_EQ(splash->size(), QSize(40, 30));
    splash->allowClose = 1;
  }
  {
    ORV::Test::ScopedDpi dpi(144);  // "start@2.bmp" is missing
    auto splash = MakeSplash();
    splash->loadFromFile = 1;
    splash->fileName = dir / "start.bmp";
    splash->Create();
    EXPECT_EQ(splash->PictureWidth(), 0);
    EXPECT_EQ(splash->PictureHeight(), 0);
    EXPECT_EQ(splash->size(), QSize(0, 0));
    splash->allowClose = 1;
  }
}

TEST(SplashScreen, IgnoresCloseUntilAllowedAndMovesWhenDragged) {
  ORV::Test::ScopedDpi dpi(96);
  auto splash = MakeSplash();
  splash->Create();
  ASSERT_TRUE(splash->isVisible());
  EXPECT_FALSE(splash->close()) << "Alt+F4 before the application allows it does nothing";
  EXPECT_TRUE(splash->isVisible());

  const QPoint before = splash->pos();
  const QPointF grab(50, 50);
  QMouseEvent press(QEvent::MouseButtonPress, grab, splash->mapToGlobal(grab), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(splash.get(), &press);
  const QPointF to(80, 65);
  QMouseEvent move(QEvent::MouseMove, to, splash->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(splash.get(), &move);
  QMouseEvent release(QEvent::MouseButtonRelease, to, splash->mapToGlobal(to), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(splash.get(), &release);
  EXPECT_EQ(splash->pos(), before + QPoint(30, 15));

  splash->allowClose = 1;
  EXPECT_TRUE(splash->close());
  EXPECT_FALSE(splash->isVisible());
}

TEST(AboutBox, ShowsTheVersionAndDrivesTheUpdateSwitchAndCheck) {
  EXPECT_EQ(AboutVersionText({"Tarvix 5", "5.5.7.0", "g1234abc"}),
            QStringLiteral("Tarvix 5, Version:5.5.7.0 (g1234abc)"));
  EXPECT_EQ(AboutVersionText({"Tarvix 5", "5.5.7.0", ""}), QStringLiteral("Tarvix 5, Version:5.5.7.0 ()"));

  Configuration config;
  config.FreshetCheckEnabled = true;
  int checks = 0;
  for (int dpiValue : {96, 144}) {
    ORV::Test::ScopedDpi dpi(dpiValue);
    CAboutDlg about(
        {"Tarvix 5", "5.5.7.0", "v5.5.7-12-gabcdef0"}, [&checks] { ++checks; }, config.FreshetCheckEnabled);
    const int result = ORV::Test::RunModal(about, [&] {
      EXPECT_EQ(about.windowTitle(), QStringLiteral("About Tarvix"));
      EXPECT_EQ(about.VersionLabel()->text(), QStringLiteral("Tarvix 5, Version:5.5.7.0 (v5.5.7-12-gabcdef0)"));
      EXPECT_EQ(about.StartupCheckBox()->isChecked(), config.FreshetCheckEnabled);
      ORV::Test::SaveUiArtifact(about, "about_box_" + std::to_string(dpiValue));
      QTest::mouseClick(about.StartupCheckBox(), Qt::LeftButton, {}, QPoint(6, about.StartupCheckBox()->height() / 2));
      EXPECT_EQ(config.FreshetCheckEnabled, about.StartupCheckBox()->isChecked());
      about.UpdateButton()->click();
      about.CloseButton()->click();
    });
    EXPECT_EQ(result, UI::IDOK);
  }
  EXPECT_EQ(checks, 2);
  EXPECT_TRUE(config.FreshetCheckEnabled) << "unchecked at 96 DPI, checked again at 144";
}
