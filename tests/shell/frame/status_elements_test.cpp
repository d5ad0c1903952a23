// What the status bar's own elements draw, read back through a painter that
// records the texts and counts the filled shapes; and the navigation
// pop-up's recorded pictures.
#include "shell/frame/status_elements.h"

#include <gtest/gtest.h>

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <string>
#include <vector>

#include "core/base/dpi.h"
#include "core/experiment/experiment_data.h"
#include "tests/support/test_world.h"
#include "tests/support/ui/ui_test_support.h"

namespace ORV {
namespace {

// A paint device that keeps the texts drawn on it, in order, and counts the
// rectangles and paths filled with a brush.
class RecordingDevice final : public QPaintDevice {
 public:
  std::vector<std::string> texts;
  int fills = 0;

  QPaintEngine* paintEngine() const override { return &engine_; }

 protected:
  int metric(PaintDeviceMetric metric) const override {
    switch (metric) {
      case PdmWidth:
        return 400;
      case PdmHeight:
        return 40;
      case PdmDpiX:
      case PdmDpiY:
      case PdmPhysicalDpiX:
      case PdmPhysicalDpiY:
        return 96;
      case PdmDepth:
        return 32;
      case PdmDevicePixelRatio:
        return 1;
      case PdmDevicePixelRatioScaled:
        return static_cast<int>(devicePixelRatioFScale());
      default:
        return 0;
    }
  }

 private:
  class Engine final : public QPaintEngine {
   public:
    explicit Engine(RecordingDevice& device) : QPaintEngine(AllFeatures), device_(device) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState& state) override {
      if (state.state() & DirtyBrush) brush_ = state.brush().style() != Qt::NoBrush;
    }
    void drawTextItem(const QPointF&, const QTextItem& item) override {
      device_.texts.push_back(item.text().toStdString());
    }
    void drawRects(const QRect*, int count) override { Fill(count); }
    void drawRects(const QRectF*, int count) override { Fill(count); }
    void drawPath(const QPainterPath&) override { Fill(1); }
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override { Fill(1); }
    void drawPolygon(const QPoint*, int, PolygonDrawMode) override { Fill(1); }
    void drawLines(const QLine*, int) override {}
    void drawLines(const QLineF*, int) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    Type type() const override { return User; }

   private:
    void Fill(int count) {
      if (brush_) device_.fills += count;
    }
    RecordingDevice& device_;
    bool brush_ = false;
  };
  mutable Engine engine_{*this};
};

struct Drawn {
  std::vector<std::string> texts;
  int fills = 0;
};

template <typename Element>
Drawn DrawOf(Element& element, int width) {
  RecordingDevice device;
  QPainter painter(&device);
  element.Draw(painter, QRect(0, 0, width, 22));
  painter.end();
  return {device.texts, device.fills};
}

TEST(StatusElementsDrawn, HeatBarShowsEachChamberOrOff) {
  CORVRibbonHeatControllerBar bar("Off");
  HeatBarState state;
  state.connected = true;
  state.temperatures = {37.0f, 12.5f, 36.96f, 20.04f};
  state.active = {true, false, true, true};
  bar.SetState(state);
  EXPECT_EQ(DrawOf(bar, 200).texts, (std::vector<std::string>{"37.0\u00B0", "Off", "37.0\u00B0", "20.0\u00B0"}));
  state.connected = false;  // the frame alone
  bar.SetState(state);
  EXPECT_TRUE(DrawOf(bar, 200).texts.empty());
}

TEST(StatusElementsDrawn, SequencerBarShowsTheStatusOrTheRunningTask) {
  CORVRibbonProgressBar bar("Sequencer not started");
  // Each text is drawn twice: its shadow, then itself.
  EXPECT_EQ(DrawOf(bar, 200).texts, (std::vector<std::string>{"Sequencer not started", "Sequencer not started"}));

  // What the sequencer writes when a task starts, then halfway through it.
  bar.shown = 1;
  bar.taskCount = 3;
  bar.currentTask = 1;
  bar.taskName = "Dilate";
  bar.position = 50;
  bar.Redraw();
  const Drawn running = DrawOf(bar, 200);
  EXPECT_EQ(running.texts, (std::vector<std::string>{"Dilate", "Dilate"}));
  EXPECT_EQ(bar.State().percent, 50);

  bar.shown = 0;
  bar.statusText = "Sequencer ended";
  bar.Redraw();
  const Drawn ended = DrawOf(bar, 200);
  EXPECT_EQ(ended.texts, (std::vector<std::string>{"Sequencer ended", "Sequencer ended"}));
  EXPECT_LT(ended.fills, running.fills) << "no progress fill once ended";
}

TEST(StatusElementsDrawn, NavigationBarDrawsTheThumbOnlyOverASpanOfTwoOrMore) {
  CNavigationControllerBar bar;
  bar.SetRange({100, 101, 100, 0});  // a span of 1
  const int frameOnly = DrawOf(bar, 300).fills;
  bar.SetRange({0, 600, 100, 60});
  EXPECT_GT(DrawOf(bar, 300).fills, frameOnly);
}

TEST(NavigationPopupPictures, TheIndexImageNearestThePositionInGrey) {
  ExperimentData experiment{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  const CNavigationControllerDialog::PictureSource pictures = IndexImagePictures(experiment);
  EXPECT_FALSE(pictures(5).has_value()) << "nothing recorded";

  experiment.Update([](ExperimentContents& c) {
    for (std::uint32_t i = 0; i < 3; ++i) {
      ImageIndexRecord record;
      record.time = 10000 * (i + 1);
      record.width = 6;  // rows padded to 8 bytes
      record.height = 2;
      record.image.assign(16, static_cast<std::uint8_t>(40 * (i + 1)));
      c.indexImages.push_back(record);
    }
    c.indexImages[2].image.resize(15);  // short: no whole picture
    return 0;
  });
  const struct {
    std::int32_t seconds;
    int grey;  // 0: no picture
  } cases[] = {{0, 40}, {14, 40}, {15, 40}, {16, 80}, {24, 80}, {26, 0}, {900, 0}};
  for (const auto& c : cases) {
    const std::optional<QImage> picture = pictures(c.seconds);
    ASSERT_EQ(picture.has_value(), c.grey != 0) << c.seconds;
    if (!picture) continue;
    EXPECT_EQ(picture->format(), QImage::Format_Grayscale8);
    EXPECT_EQ(picture->size(), QSize(6, 2));
    EXPECT_EQ(qGray(picture->pixel(5, 1)), c.grey) << c.seconds;
  }
}

// The three elements side by side, at 96 and 144 DPI, for the eye.
TEST(StatusElementsRendered, AtBothDpis) {
  for (const int dpi : {96, 144}) {
    ORV::Test::ScopedDpi scoped(dpi);
    CORVStatusbar bar;
    auto progress = std::make_unique<CORVRibbonProgressBar>("Sequencer not started");
    progress->shown = 1;
    progress->taskCount = 3;
    progress->currentTask = 1;
    progress->taskName = "Dilate 80 mmHg";
    progress->position = 40;
    progress->Redraw();
    bar.AddElement(std::move(progress), "Sequencer");
    bar.AddSeparator();
    auto heat = std::make_unique<CORVRibbonHeatControllerBar>("Off");
    heat->SetState({true, {37.0f, 21.0f, 36.5f, 37.2f}, {true, false, true, true}});
    bar.AddElement(std::move(heat), "Heat controller");
    bar.AddSeparator();
    auto navigation = std::make_unique<CNavigationControllerBar>();
    navigation->SetRange({0, 600, 240, 60});
    bar.AddElement(std::move(navigation), "Navigation");
    bar.resize(ScaleByDpi(900, dpi), bar.height());
    bar.RecalcLayout();
    ORV::Test::SaveUiArtifact(bar, "status_elements_" + std::to_string(dpi));
  }
}

TEST(NavigationPopupPictures, RenderedWithARecordedPictureAndWithout) {
  ExperimentData experiment{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  experiment.Update([](ExperimentContents& c) {
    // A vessel: two dark walls running down a light field.
    ImageIndexRecord record;
    record.time = 10000;
    record.width = 100;
    record.height = 75;
    record.image.assign(100 * 75, 200);
    for (std::uint32_t y = 0; y < 75; ++y)
      for (std::uint32_t x : {30u, 31u, 32u, 33u, 66u, 67u, 68u, 69u}) record.image[y * 100 + x] = 40;
    c.indexImages.push_back(record);
    return 0;
  });
  CNavigationControllerDialog popup(nullptr, [] { return std::uint64_t{0}; });
  popup.SetPictureSource(IndexImagePictures(experiment));
  popup.ShowAt(10, QPoint(300, 300));
  ASSERT_TRUE(popup.HasPicture());
  EXPECT_EQ(popup.Picture().size(), QSize(100, 75));
  ORV::Test::SaveUiArtifact(popup, "navigation_popup_picture");
  popup.SetPictureSource({});
  popup.ShowAt(10, QPoint(300, 300));
  EXPECT_FALSE(popup.HasPicture());
  ORV::Test::SaveUiArtifact(popup, "navigation_popup_placeholder");
}

}  // namespace
}  // namespace ORV
