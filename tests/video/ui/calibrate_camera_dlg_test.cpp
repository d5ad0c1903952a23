// The calibration dialog: a drawn rectangle, a calibration stored on Close
// and left out on Cancel, and the messages of a refused calibration.
#include "video/ui/calibrate_camera_dlg.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>

#include "core/base/configuration.h"
#include "platform/ui/message_box.h"
#include "tests/support/ui/ui_test_support.h"
#include "tests/video/calibration/fake_still_control.h"

namespace ORV::Video {
namespace {

struct Fixture {
  Configuration config;
  FakeStillControl control;
  int asked = 0;
  Fixture() {
    control.still = FakeStillControl::MakeStill(1280, 960);
    config.Calibration = {0.5f, 0.5f, 0.5f, 0.5f};
    config.Magnification = 4.0f;
  }
  void Prepare(CCalibrateCameraDlg& dlg, const char* length = "100") {
    dlg.askLength = [this, length]() -> std::optional<QString> {
      ++asked;
      return QString(length);
    };
  }
};

TEST(CalibrateCameraDlgTest, DrawCalibrateAndClose) {
  ORV::Test::ScopedDpi dpi(96);
  Fixture f;
  CCalibrateCameraDlg dlg(&f.control, f.config);
  f.Prepare(dlg);
  const int result = ORV::Test::RunModal(dlg, [&] {
    EXPECT_FALSE(dlg.CalibrateButton()->isEnabled());
    EXPECT_FALSE(dlg.Slider()->isEnabled());
    EXPECT_EQ(dlg.ScaleField()->text(), "0.500000");
    dlg.DrawnRectangle({100, 100}, {115, 300});  // too narrow: nothing
    EXPECT_FALSE(dlg.CalibrateButton()->isEnabled());
    dlg.DrawnRectangle({200, 150}, {400, 300});
    EXPECT_TRUE(dlg.CalibrateButton()->isEnabled());
    EXPECT_TRUE(dlg.Slider()->isEnabled());
    EXPECT_EQ(dlg.Slider()->value(), 10);
    dlg.Magnification()->setEditText("10");
    dlg.OnCalibrate();
    EXPECT_EQ(f.asked, 1);
    EXPECT_EQ(dlg.ScaleField()->text(), "0.234375");
    EXPECT_EQ(dlg.Magnification()->findText("10.0"), 0);
    EXPECT_EQ(dlg.MeasurementField()->text(), "100.00");
    ORV::Test::SaveUiArtifact(dlg, "calibrate_camera_rectangle");
    for (QPushButton* b : dlg.findChildren<QPushButton*>())
      if (b->text() == "Close") b->click();
  });
  EXPECT_EQ(result, UI::IDOK);
  EXPECT_FLOAT_EQ(f.config.Calibration[0], 0.234375f);
  EXPECT_FLOAT_EQ(f.config.Magnification, 10.0f);
  EXPECT_TRUE(f.config.CameraCalibrated);
  EXPECT_EQ(dlg.MarkerText(), " Calibrated");
}

TEST(CalibrateCameraDlgTest, TrackerMovesTheFigureAndKeysNudgeIt) {
  Fixture f;
  CCalibrateCameraDlg dlg(&f.control, f.config);
  f.Prepare(dlg);
  auto post = [&dlg](QEvent::Type type, QPointF at) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QCoreApplication::postEvent(&dlg, new QMouseEvent(type, at, dlg.mapToGlobal(at), Qt::LeftButton, held, {}));
  };
  ORV::Test::RunModal(dlg, [&] {
    dlg.DrawnRectangle({200, 150}, {400, 300});
    post(QEvent::MouseButtonPress, {300, 225});
    post(QEvent::MouseMove, {320, 235});
    post(QEvent::MouseMove, {330, 245});
    post(QEvent::MouseButtonRelease, {330, 245});
    EXPECT_TRUE(ORV::Test::ProcessEventsUntil([&] { return dlg.Model().X() == 230; }));
    EXPECT_EQ(dlg.Model().Y(), 170);
    EXPECT_EQ(dlg.Figure().IntegerBounds(), (RectI{230, 170, 430, 320}));
    ORV::Test::SaveUiArtifact(dlg, "calibrate_camera_moved");
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::ShiftModifier);
    QCoreApplication::sendEvent(dlg.focusWidget() ? dlg.focusWidget() : static_cast<QWidget*>(&dlg), &down);
    EXPECT_EQ(dlg.Model().H(), 151);
    dlg.reject();
  });
}

TEST(CalibrateCameraDlgTest, RenderAt144Dpi) {
  ORV::Test::ScopedDpi dpi(144);
  Fixture f;
  CCalibrateCameraDlg dlg(&f.control, f.config);
  ORV::Test::RunModal(dlg, [&] {
    dlg.DrawnRectangle({300, 225}, {600, 450});
    ORV::Test::SaveUiArtifact(dlg, "calibrate_camera_rectangle_144dpi");
    dlg.reject();
  });
}

TEST(CalibrateCameraDlgTest, CancelKeepsTheStoredCalibration) {
  Fixture f;
  CCalibrateCameraDlg dlg(&f.control, f.config);
  dlg.cameraIndex = 2;
  f.Prepare(dlg);
  const int result = ORV::Test::RunModal(dlg, [&] {
    dlg.DrawnRectangle({200, 150}, {400, 300});
    dlg.Magnification()->setEditText("10");
    dlg.OnCalibrate();
    dlg.reject();
  });
  EXPECT_EQ(result, UI::IDCANCEL);
  EXPECT_FLOAT_EQ(f.config.Calibration[2], 0.5f);
  EXPECT_FLOAT_EQ(f.config.Magnification, 4.0f);
  EXPECT_FALSE(f.config.CameraCalibrated);
  EXPECT_EQ(f.config.CalibrationLists.at(2).count("10.0"), 1u);  // the table keeps what was calibrated
}

TEST(CalibrateCameraDlgTest, RefusedCalibrationsShowWhy) {
  const struct {
    const char* magnification;
    bool picture;
    const char* message;
  } table[] = {
      {"101", true, "Magnification range must be between 1.0 and 100.0"},
      {"0.5", true, "Magnification range must be between 1.0 and 100.0"},
      {"10", false, "There is no picture from the camera to calibrate on. Take a picture first."},
  };
  for (const auto& row : table) {
    Fixture f;
    if (!row.picture) f.control.reportedSize = 0;
    CCalibrateCameraDlg dlg(&f.control, f.config);
    f.Prepare(dlg);
    UI::ScriptedMessageBoxes boxes({UI::IDOK});
    ORV::Test::RunModal(dlg, [&] {
      dlg.DrawnRectangle({200, 150}, {400, 300});
      dlg.Magnification()->setEditText(row.magnification);
      dlg.OnCalibrate();
      dlg.reject();
    });
    ASSERT_EQ(boxes.Shown().size(), 1u) << row.magnification;
    EXPECT_EQ(boxes.Shown()[0].text.toStdString(), row.message);
    EXPECT_EQ(boxes.Shown()[0].type & 0xF0, UI::MB_ICONSTOP);
    EXPECT_EQ(f.asked, 0);
    EXPECT_TRUE(f.config.CalibrationLists.empty());
    EXPECT_EQ(dlg.ScaleField()->text(), "0.500000");
  }
}

}  // namespace
}  // namespace ORV::Video
