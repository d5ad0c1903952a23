// The calibration's arithmetic: frame layout, the µm per pixel of a known
// length, the magnification list and table, the arrow keys and the results
// stored on Close.
#include <gtest/gtest.h>

#include <cmath>

#include "core/base/configuration.h"
#include "tests/video/calibration/fake_still_control.h"

namespace ORV::Video {
namespace {

ShapePath Rect(double x, double y, double w, double h) {
  ShapePath p;
  p.AddRectangle(x, y, w, h);
  return p;
}

struct Fixture {
  Configuration config;
  FakeStillControl control;
  Fixture() { control.still = FakeStillControl::MakeStill(1280, 960); }
};

TEST(CalibrationModelTest, FrameLayoutAndGrab) {
  const struct {
    int width, height, drawnWidth, drawnHeight, top;
  } table[] = {
      {1280, 960, 600, 450, 35}, {640, 480, 600, 450, 35}, {600, 1000, 600, 1000, 10}, {800, 200, 600, 150, 185}};
  for (const auto& row : table) {
    Fixture f;
    f.control.still = FakeStillControl::MakeStill(row.width, row.height);
    CalibrationModel model(f.config, 0);
    ASSERT_TRUE(model.GrabFrame(&f.control));
    const FrameLayout layout = model.Layout();
    EXPECT_DOUBLE_EQ(layout.displayScale, 600.0 / row.width);
    EXPECT_EQ(layout.width, row.drawnWidth);
    EXPECT_EQ(layout.height, row.drawnHeight);
    EXPECT_EQ(layout.top, row.top);
  }
  Fixture f;
  CalibrationModel model(f.config, 0);
  ASSERT_TRUE(model.GrabFrame(&f.control));
  f.control.reportedSize = 44;  // too small: the old still stays
  EXPECT_FALSE(model.GrabFrame(&f.control));
  EXPECT_TRUE(model.Frame().HasPicture());
  f.control.reportedSize = -1;
  f.control.grabResult = 0;  // a failed grab leaves no picture
  EXPECT_FALSE(model.GrabFrame(&f.control));
  EXPECT_FALSE(model.Frame().HasPicture());
  EXPECT_FALSE(model.GrabFrame(nullptr));
}

TEST(CalibrationModelTest, KnownLengthGivesMicronsPerCameraPixel) {
  const struct {
    CalibrationModel::Measure measure;
    double w, h, microns;
    int dpi;
    const char* shown;
  } table[] = {
      {CalibrationModel::Measure::Width, 200, 50, 100, 96, "0.234375"},
      {CalibrationModel::Measure::Height, 50, 200, 100, 96, "0.234375"},
      {CalibrationModel::Measure::Width, 300, 50, 100, 144, "0.234375"},  // 300 px at 144 DPI is 200 at 96
      {CalibrationModel::Measure::Width, 100, 50, 1500, 96, "7.031250"},  // above 1000 still used
  };
  for (const auto& row : table) {
    Fixture f;
    CalibrationModel model(f.config, 1);
    ASSERT_TRUE(model.GrabFrame(&f.control));
    model.measure = row.measure;
    double m = 0;
    ASSERT_EQ(model.CheckMagnification("10", m), CalibrationModel::Outcome::Calibrated);
    ASSERT_EQ(model.Calibrate(m, row.microns, Rect(0, 0, row.w, row.h), row.dpi),
              CalibrationModel::Outcome::Calibrated);
    EXPECT_EQ(CalibrationModel::FormatScale(model.ResultScale()), row.shown);
  }
}

TEST(CalibrationModelTest, MagnificationsAreListedAndRecalibrationReplaces) {
  Fixture f;
  CalibrationModel model(f.config, 2);
  ASSERT_TRUE(model.GrabFrame(&f.control));
  double m = 0;
  for (const char* text : {"0.5", "101", "abc", "0"})
    EXPECT_EQ(model.CheckMagnification(text, m), CalibrationModel::Outcome::MagnificationOutOfRange) << text;
  EXPECT_EQ(model.CheckMagnification("", m), CalibrationModel::Outcome::Nothing);

  ASSERT_EQ(model.CheckMagnification("10", m), CalibrationModel::Outcome::Calibrated);
  ASSERT_EQ(model.Calibrate(m, 100, Rect(10, 10, 200, 50), 96), CalibrationModel::Outcome::Calibrated);
  EXPECT_EQ(f.config.Magnifications, std::vector<std::string>{"10.0"});
  EXPECT_EQ(model.ComboEntries(), std::vector<std::string>{"10.0"});
  ASSERT_EQ(f.config.CalibrationLists.size(), 3u);
  EXPECT_FLOAT_EQ(f.config.CalibrationLists[2].at("10.0").scale, 0.234375f);
  EXPECT_EQ(f.config.CalibrationLists[2].at("10.0").label, "10.0");

  ASSERT_EQ(model.Calibrate(10.0, 50, Rect(10, 10, 200, 50), 96), CalibrationModel::Outcome::Calibrated);
  EXPECT_EQ(f.config.Magnifications.size(), 1u);
  EXPECT_EQ(model.ListedMagnifications().size(), 1u);
  EXPECT_FLOAT_EQ(f.config.CalibrationLists[2].at("10.0").scale, 0.1171875f);

  ASSERT_EQ(model.Calibrate(2.0, 100, Rect(10, 10, 100, 50), 96), CalibrationModel::Outcome::Calibrated);
  // A dialog opened afterwards lists the table in key order (text order).
  f.config.Magnification = 2.0f;
  CalibrationModel again(f.config, 2);
  EXPECT_EQ(again.ComboEntries(), (std::vector<std::string>{"10.0", "2.0"}));
  EXPECT_EQ(again.InitialSelection(), 1);
  ASSERT_TRUE(again.Select("10.0"));
  EXPECT_DOUBLE_EQ(again.ResultScale(), 0.1171875);
  EXPECT_DOUBLE_EQ(again.ResultMagnification(), 10.0);
  EXPECT_FALSE(again.Select("3.0"));
}

TEST(CalibrationModelTest, CollapsedFigureOrNoPictureCalibratesNothing) {
  Fixture f;
  CalibrationModel model(f.config, 0);
  double m = 0;
  EXPECT_EQ(model.CheckMagnification("10", m), CalibrationModel::Outcome::NoPicture);
  EXPECT_EQ(model.Calibrate(10, 100, Rect(0, 0, 200, 50), 96), CalibrationModel::Outcome::NoPicture);
  ASSERT_TRUE(model.GrabFrame(&f.control));
  ShapePath line;  // a figure the tracker squeezed to zero width
  line.AddLine({50, 10}, {50, 90});
  EXPECT_EQ(model.Calibrate(10, 100, line, 96), CalibrationModel::Outcome::FigureTooSmall);
  EXPECT_EQ(model.Calibrate(10, 100, Rect(5, 5, 0.4, 30), 96), CalibrationModel::Outcome::FigureTooSmall);
  model.measure = CalibrationModel::Measure::Height;
  EXPECT_EQ(model.Calibrate(10, 100, Rect(5, 5, 50, 0), 96), CalibrationModel::Outcome::FigureTooSmall);
  for (double microns : {0.0, -3.0, std::nan("")})
    EXPECT_EQ(model.Calibrate(10, microns, Rect(0, 0, 200, 50), 96), CalibrationModel::Outcome::Nothing);
  EXPECT_TRUE(f.config.CalibrationLists.empty());
  EXPECT_TRUE(f.config.Magnifications.empty());
}

TEST(CalibrationModelTest, ArrowKeysNudgeTheRectangleWithinLimits) {
  Fixture f;
  CalibrationModel model(f.config, 0);
  using A = CalibrationModel::Arrow;
  const struct {
    double x, y, w, h;
    A arrow;
    bool shift, control, changed;
    double nx, ny, nw, nh;
  } table[] = {
      {50, 50, 100, 100, A::Down, false, false, true, 50, 51, 100, 100},
      {50, 50, 100, 200, A::Down, true, false, false, 50, 50, 100, 200},  // Shift+Down at 200
      {50, 50, 100, 100, A::Down, false, true, true, 50, 51, 100, 99},
      {50, 50, 100, 100, A::Up, true, false, true, 50, 49, 100, 101},
      {50, 0, 100, 100, A::Up, false, false, false, 50, 0, 100, 100},
      {50, 50, 10, 100, A::Left, false, true, false, 50, 50, 10, 100},  // Ctrl+Left at 10
      {50, 50, 100, 100, A::Left, true, false, true, 49, 50, 101, 100},
      {50, 50, 100, 100, A::Right, false, true, true, 51, 50, 99, 100},
      {500, 50, 100, 100, A::Right, false, false, false, 500, 50, 100, 100},  // at the client's right
      {50, 400, 100, 100, A::Down, false, false, false, 50, 400, 100, 100},   // at the client's bottom
  };
  for (const auto& row : table) {
    model.SetRectangle(row.x, row.y, row.w, row.h);
    EXPECT_EQ(model.Nudge(row.arrow, row.shift, row.control, 600, 500), row.changed);
    EXPECT_EQ(model.X(), row.nx);
    EXPECT_EQ(model.Y(), row.ny);
    EXPECT_EQ(model.W(), row.nw);
    EXPECT_EQ(model.H(), row.nh);
  }
}

TEST(CalibrationModelTest, FigureTicksMeasurementAndStore) {
  Fixture f;
  f.config.Calibration = {0.5f, 0.234375f, 1, 1};
  f.config.Magnification = 4.0f;
  CalibrationModel model(f.config, 1);
  ASSERT_TRUE(model.GrabFrame(&f.control));
  model.SetRectangle(100, 100, 200, 100);
  model.slider = 10;
  const ShapePath figure = model.Figure();
  EXPECT_EQ(figure.PointCount(), 4u + 16u);           // the rectangle and eight ticks
  EXPECT_EQ(figure.Points()[4], (PointF{140, 100}));  // 2 steps of 20 from the left
  EXPECT_EQ(figure.Points()[5], (PointF{140, 110}));  // a tenth of the height long
  model.slider = 20;                                  // steps of 22
  EXPECT_EQ(model.Figure().Points()[4], (PointF{144, 100}));
  EXPECT_EQ(model.MeasurementText(96), "100.00");  // 0.234375 / 0.46875 x 200
  model.SetRectangle(100, 100, 19, 100);
  EXPECT_EQ(model.MeasurementText(96), "");

  EXPECT_EQ(model.Store("Left"), "Left Calibrated");
  EXPECT_FLOAT_EQ(f.config.Calibration[1], 0.234375f);
  EXPECT_FLOAT_EQ(f.config.Magnification, 4.0f);
  EXPECT_TRUE(f.config.CameraCalibrated);
}

}  // namespace
}  // namespace ORV::Video
