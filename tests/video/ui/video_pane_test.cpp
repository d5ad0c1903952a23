// The video pane's windows: the frame with its zones drawn, the white page,
// the measuring line whose label adds a measurement to the data pad, the
// data-pad dialog and the image window's place in the pane.
#include "video/ui/video_pane.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <cstring>

#include "core/base/configuration.h"
#include "core/base/dpi.h"
#include "tests/support/ui/ui_test_support.h"
#include "tests/video/pane/video_pane_fixture.h"
#include "video/ui/add_measurement_dialog.h"

namespace ORV::Video {
namespace {

// A vessel seen from above: grey background, two dark walls and a light
// lumen between them.
class VesselLoader : public StillImageLoader {
 public:
  static constexpr int kWidth = 320, kHeight = 240;
  bool Open(const std::string&) override { return open_ = true; }
  void Close() override { open_ = false; }
  bool ReadFrame(int index, std::uint8_t* buffer, std::size_t size) override {
    if (!open_ || index < 0 || index >= 50 || size < FrameBufferSize()) return false;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const int shift = index % 5;
        int level = 170;
        if ((x >= 100 + shift && x < 122 + shift) || (x >= 198 - shift && x < 220 - shift)) level = 60;
        if (x >= 122 + shift && x < 198 - shift) level = 215;
        std::uint8_t* px = buffer + (std::size_t(y) * kWidth + x) * 3;
        px[0] = std::uint8_t(level);
        px[1] = std::uint8_t(level);
        px[2] = std::uint8_t(level + 10 > 255 ? 255 : level + 10);
      }
    }
    return true;
  }
  std::size_t FrameBufferSize() const override { return open_ ? std::size_t(kWidth) * kHeight * 3 : 0; }
  bool Information(int& w, int& h, int& r, int& c) const override {
    if (!open_) return false;
    w = kWidth;
    h = kHeight;
    r = 10;
    c = 50;
    return true;
  }

 private:
  bool open_ = false;
};

// True when a pixel within one of (x, y) is close to `color`: lines are
// drawn anti-aliased, so a thin one may be half blended with the picture,
// which lies further away from every colour checked.
bool ColorNear(const QImage& image, int x, int y, QColor color) {
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      const QColor c = image.pixelColor(x + dx, y + dy);
      if (std::abs(c.red() - color.red()) + std::abs(c.green() - color.green()) + std::abs(c.blue() - color.blue()) <
          200) {
        return true;
      }
    }
  }
  return false;
}

class VideoPaneTest : public Test::VideoPaneFixture {
 protected:
  VideoPaneTest() {
    TouchVideo(0);
    SetRecords(0, ZoneRecords());
    config_.ZoneBorderColor = 0x008B0000;     // dark blue (0x00BBGGRR)
    config_.ZoneOuterEdgeColor = 0x000000FF;  // red
    config_.ZoneInnerEdgeColor = 0x002FFFAD;  // green-yellow
  }

  // Two zones over the vessel on every frame but frame 7.
  static std::vector<AnalysisData> ZoneRecords() {
    std::vector<AnalysisData> records = ORV::Test::Records(50, 100.0, kStart);
    for (AnalysisData& r : records) {
      r.zoneCount = 2;
      r.zones[0] = {1, {0, 0, 0}, 0.0f, 60, 40, 260, 110, 40, 160, 62, 138};
      r.zones[1] = {1, {0, 0, 0}, 0.0f, 60, 130, 260, 200, 41, 159, 63, 137};
    }
    records[7].zoneCount = 0;
    return records;
  }

  std::unique_ptr<CVideoPane> MakePane() {
    auto pane = std::make_unique<CVideoPane>(*experiment_, config_, 0, std::make_unique<VesselLoader>());
    EXPECT_EQ(pane->Create(), 0);
    pane->resize(Scale(405), Scale(300) + 24);
    pane->show();
    return pane;
  }
  static int Scale(int v) { return v * ORV::QueryDpi() / 96; }
  // Gives the pane's client `size`: the client fills the pane's scroll
  // area, so the pane is resized around it.
  static void ResizeClient(CVideoPane& pane, const QSize& size) {
    pane.resize(pane.size() + size - pane.Client()->size());
    QCoreApplication::processEvents();
    EXPECT_EQ(pane.Client()->size(), size);
  }

  static void Mouse(QWidget& w, QEvent::Type type, QPoint at) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(at), w.mapToGlobal(QPointF(at)), Qt::LeftButton, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &e);
  }
};

TEST_F(VideoPaneTest, ShowsTheFrameWithItsZonesAndTheWhitePageWithoutARecord) {
  for (const int dpi : {96, 144}) {
    ORV::Test::ScopedDpi scoped(dpi);
    auto pane = MakePane();
    ASSERT_TRUE(pane->LoadVideo());
    VideoPaneImages& images = pane->Images();
    // 9 pixels in, as high as the client less 18, as wide as 4:3 makes it.
    ResizeClient(*pane, {Scale(500), Scale(300)});
    const int h = Scale(300) - 20;
    EXPECT_EQ(images.geometry(), QRect(9, 9, int(h * double(4.0f / 3.0f)) + 2, h + 2)) << dpi;
    ResizeClient(*pane, {Scale(200), Scale(300)});  // too narrow for the picture at full height
    EXPECT_EQ(images.width(), Scale(200) - 18);
    EXPECT_EQ(images.height(), int((Scale(200) - 20) / double(4.0f / 3.0f)) + 2);
    ResizeClient(*pane, {Scale(405), Scale(300)});

    images.ShowFrameAt(3, true);
    EXPECT_EQ(images.Model().CurrentFrame(), 30);
    const QImage shown = images.Render();
    const double sx = images.width() / 320.0;
    const double sy = images.height() / 240.0;
    // The zone's border is the configured blue, its outer edges red.
    EXPECT_TRUE(ColorNear(shown, int(80 * sx), int(40 * sy), QColor(0x00, 0x00, 0x8B))) << dpi;
    EXPECT_TRUE(ColorNear(shown, int((60 + 40) * sx), int(80 * sy), QColor(0xFF, 0x00, 0x00))) << dpi;
    EXPECT_TRUE(ColorNear(shown, int((60 + 62) * sx), int(80 * sy), QColor(0xAD, 0xFF, 0x2F))) << dpi;
    // The frame itself, between the zones.
    EXPECT_NEAR(shown.pixelColor(int(30 * sx), int(120 * sy)).blue(), 170, 4);
    ORV::Test::SaveUiArtifact(*pane, dpi == 96 ? "video_pane" : "video_pane_144dpi");

    images.ShowFrameAt(7, false);  // a record without zones: the frame alone
    EXPECT_TRUE(images.Model().FrameValid());
    images.ShowFrameAt(60, false);  // past the end: the last frame
    EXPECT_EQ(images.Model().CurrentFrame(), 49);
    experiment_->Update([](ExperimentContents& c) {
      c.analysisData[0].pop_back();
      return 0;
    });
    images.ShowFrameAt(49, false);  // no record: the white page
    const QImage white = images.Render();
    EXPECT_EQ(white.pixelColor(int(30 * sx), int(120 * sy)), QColor(Qt::white));
    SetRecords(0, ZoneRecords());
  }
}

TEST_F(VideoPaneTest, TheLabelOfAMeasuredLineAddsTheMeasurementToTheDataPad) {
  ORV::Test::ScopedDpi scoped(96);
  config_.Calibration[0] = 0.5f;
  auto pane = MakePane();
  ASSERT_TRUE(pane->LoadVideo());
  VideoPaneImages& images = pane->Images();
  images.ShowFrameAt(25, false);
  std::vector<std::pair<double, float>> asked;
  images.askLabel = [&](double time, float value) -> std::optional<std::string> {
    asked.emplace_back(time, value);
    return std::string("wall thickness");
  };
  Mouse(images, QEvent::MouseButtonPress, {100, 150});
  Mouse(images, QEvent::MouseMove, {160, 150});
  Mouse(images, QEvent::MouseButtonRelease, {160, 150});
  ASSERT_TRUE(images.Model().LineVisible());
  images.grab();  // the label box is placed as it is painted
  ASSERT_FALSE(images.Model().LabelRect().Empty());
  ORV::Test::SaveUiArtifact(*pane, "video_pane_measuring");

  const PaneRect label = images.Model().LabelRect();
  const QPoint onLabel((label.left + label.right) / 2, (label.top + label.bottom) / 2);
  Mouse(images, QEvent::MouseButtonPress, onLabel);
  EXPECT_TRUE(images.Model().LabelClicked());
  Mouse(images, QEvent::MouseButtonRelease, onLabel);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_DOUBLE_EQ(asked[0].first, 2.5);
  // 60 window pixels over a 320-pixel video shown images.width() - 2 wide... the
  // model's arithmetic: video width over window width.
  const float expected = 60.0f * (320.0f / float(images.width())) * 0.5f;
  EXPECT_NEAR(asked[0].second, expected, 1e-3);
  const auto samples = experiment_->DataPad().Samples();
  ASSERT_EQ(samples.size(), 1u);
  EXPECT_EQ(samples[0].label, "wall thickness");
  EXPECT_EQ(samples[0].camera, 1u);
  EXPECT_EQ(samples[0].frame, 25u);

  // A click without moving leaves no line.
  Mouse(images, QEvent::MouseButtonPress, {50, 50});
  Mouse(images, QEvent::MouseButtonRelease, {50, 50});
  EXPECT_FALSE(images.Model().LineVisible());
}

TEST_F(VideoPaneTest, ZoneColoursFollowTheConfiguration) {
  auto pane = MakePane();
  VideoPaneImages& images = pane->Images();
  EXPECT_EQ(images.BorderColor(), QColor(0x00, 0x00, 0x8B));
  config_.ZoneBorderColor = 0x00336699;
  config_.ZoneOuterEdgeColor = 0x00010203;
  images.ApplyZoneColors();
  EXPECT_EQ(images.BorderColor(), QColor(0x99, 0x66, 0x33));
  EXPECT_EQ(images.OuterEdgeColor(), QColor(0x03, 0x02, 0x01));
  EXPECT_EQ(images.InnerEdgeColor(), QColor(0xAD, 0xFF, 0x2F));
}

TEST_F(VideoPaneTest, NothingIsShownForAnExperimentThatWasNotOpenedFromItsFile) {
  experiment_->mode = kModeLive;
  auto pane = MakePane();
  EXPECT_FALSE(pane->LoadVideo());
  pane->Images().ShowFrameAt(3, true);
  EXPECT_EQ(pane->Images().Render().pixelColor(20, 20), QColor(Qt::white));
}

TEST(AddMeasurementToDataPadTest, ShowsTimeAndValueAndReturnsTheText) {
  for (const int dpi : {96, 144}) {
    ORV::Test::ScopedDpi scoped(dpi);
    AddMeasurementToDataPad dialog;
    EXPECT_EQ(dialog.windowTitle(), "Add measurement to data pad");
    dialog.time = 62.5;
    dialog.value = 12.3456f;
    const int result = ORV::Test::RunModal(dialog, [&] {
      EXPECT_EQ(dialog.TimeField()->text(), "01:02.50");
      EXPECT_EQ(dialog.ValueField()->text(), "12.35");
      EXPECT_TRUE(dialog.TimeField()->isReadOnly());
      dialog.TextField()->setText("outer diameter");
      ORV::Test::SaveUiArtifact(dialog, dpi == 96 ? "add_measurement_dialog" : "add_measurement_dialog_144dpi");
      dialog.AddButton()->click();
    });
    EXPECT_EQ(result, UI::IDOK);
    EXPECT_EQ(dialog.resultText, "outer diameter");
  }
  AddMeasurementToDataPad cancelled;
  EXPECT_EQ(ORV::Test::RunModal(cancelled, [&] { cancelled.CancelButton()->click(); }), UI::IDCANCEL);
}

}  // namespace
}  // namespace ORV::Video
