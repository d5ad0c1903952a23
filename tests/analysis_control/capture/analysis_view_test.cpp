// The analysis control's window logic without a window: the display scale,
// zone drawing, hit test and edge picking, moving a zone, the overlay and
// its label, repaint pacing, and the frame-data block.
#include "analysis_control/analysis_view.h"

#include <gtest/gtest.h>

#include "analysis_control/frame_data.h"
#include "engine_fixtures.h"
#include "platform/os/byte_order.h"

namespace ORV::CaptureTest {
namespace {

struct Recorded : ViewEvents {
  std::vector<std::vector<int>> created;
  std::vector<int> selected;
  void ZoneCreated(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, std::int32_t x3, std::int32_t y3,
                   std::int32_t x4, std::int32_t y4, float angle) override {
    created.push_back({x1, y1, x2, y2, x3, y3, x4, y4, static_cast<int>(angle)});
  }
  void ZoneSelected(std::int32_t zone) override { selected.push_back(zone); }
};

// A 640 x 480 camera shown in a 320 x 240 window: two picture pixels a
// window pixel.
struct View : ::testing::Test {
  EngineEvents events;
  FakeClock clock;
  FakeCamera* camera = nullptr;
  std::unique_ptr<CaptureEngine> engine;
  Recorded viewEvents;
  std::unique_ptr<AnalysisViewModel> view;

  void SetUp() override {
    CaptureEngineServices services;
    services.createCamera = [this](int) {
      auto c = std::make_unique<FakeCamera>(FakeCamera::Setup{{"DMx 41AU02 1"}, 640, 480, 15, true, true});
      camera = c.get();
      return c;
    };
    services.executor = std::make_shared<AnalysisTest::InlineExecutor>();
    engine = std::make_unique<CaptureEngine>(events, services);
    engine->SetRelativeTime(&clock);
    engine->SetNotifyWindow(std::make_shared<NullWindow>());
    engine->LoadCamera(0);
    ASSERT_TRUE(engine->StartCapture("DMx 41AU02"));
    view = std::make_unique<AnalysisViewModel>(*engine, viewEvents);
    view->SetClientSize(320, 240);
  }
  // Draws a zone from window point a to b.
  AnalysisViewModel::Press Draw(ViewPoint a, ViewPoint b) {
    const auto press = view->LeftDown(a, false);
    if (press == AnalysisViewModel::Press::kRubberBand) view->FinishRubberBand(a, b);
    view->FinishPress();
    return press;
  }
};

TEST_F(View, RubberBandsMakeZonesOfAtLeastThirtyByTen) {
  EXPECT_EQ(view->ScaleX(), 2.0f);
  const ZonePoint p = view->ToPicture({10.3f, 10.8f});
  EXPECT_EQ(p.x, 21);
  EXPECT_EQ(p.y, 22);
  Draw({10, 10}, {24.5f, 35});  // 29 x 50 picture pixels
  EXPECT_EQ(engine->Analysis().GetZoneCount(), 0);
  Draw({60, 30}, {45, 25});  // 30 x 10, drawn backwards
  ASSERT_EQ(engine->Analysis().GetZoneCount(), 1);
  EXPECT_EQ(viewEvents.created, (std::vector<std::vector<int>>{{90, 50, 120, 50, 90, 60, 120, 60, 0}}));
  const AnalysisZoneBlock block = engine->Analysis().GetAnalysisData().zones[0];
  EXPECT_EQ((std::vector<int>{block.left, block.top, block.right, block.bottom}), (std::vector<int>{90, 50, 120, 60}));
  EXPECT_EQ(engine->Analysis().GetAnalysisData().zoneCount, 1);
  Draw({100, 100}, {200, 200});
  EXPECT_EQ(engine->Analysis().GetZoneCount(), 2);
  // The maximum reached: a click outside every zone draws nothing.
  EXPECT_EQ(Draw({300, 10}, {310, 230}), AnalysisViewModel::Press::kSelected);
  EXPECT_EQ(engine->Analysis().GetZoneCount(), 2);
  EXPECT_EQ(viewEvents.selected, (std::vector<int>{-1, -1, -1, -1}));
}

TEST_F(View, AZoneIsHitTwentyPixelsAroundItsBounds) {
  ASSERT_EQ(engine->Analysis().AddZone({200, 100, 100, 100}), 0);
  EXPECT_EQ(view->HitTestZone({180, 150}), 0);
  EXPECT_EQ(view->HitTestZone({179, 150}), -1);
  EXPECT_EQ(view->HitTestZone({319, 219}), 0);
  EXPECT_EQ(view->HitTestZone({320, 150}), -1);
  ASSERT_EQ(engine->Analysis().AddZone({250, 150, 100, 100}), 1);
  EXPECT_EQ(view->HitTestZone({260, 160}), 1);  // the later zone first
}

TEST_F(View, AClickNearAFixedEdgePicksItElseTheTrackerTakesTheZone) {
  ASSERT_EQ(engine->Analysis().AddZone({100, 100, 250, 100}), 0);
  engine->Analysis().SetAutoTrackingEnabled(0, false);  // fixed at 50, 100, 150, 200
  ASSERT_EQ(engine->Analysis().GetZone(0).fixedLumenLeft, 100.0f);
  const struct {
    float x;  // window x; picture x = 2x
    AnalysisViewModel::Press press;
    int edge;
  } cases[] = {
      {101.5f, AnalysisViewModel::Press::kEdgeSelected, kEdgeLumenLeft},  // 3 pixels away
      {103.0f, AnalysisViewModel::Press::kTrack, kEdgeNone},              // 6 away
      {100.0f, AnalysisViewModel::Press::kTrack, kEdgeNone},              // exactly on it
      {74.0f, AnalysisViewModel::Press::kEdgeSelected, kEdgeOuterLeft},   // 2 from 50
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.x);
    engine->Analysis().SetSelectedEdge(0, kEdgeNone);
    EXPECT_EQ(view->LeftDown({c.x, 75}, false), c.press);
    EXPECT_EQ(engine->Analysis().GetZone(0).selectedEdge, c.edge);
  }
  // The picked edge follows the mouse and the arrow keys, within its limits.
  view->LeftDown({101.5f, 75}, false);
  view->DragEdge({110, 75});  // picture 220: 120 in the zone
  EXPECT_EQ(engine->Analysis().GetZone(0).fixedLumenLeft, 120.0f);
  view->MoveEdge(5);
  EXPECT_EQ(engine->Analysis().GetZone(0).fixedLumenLeft, 125.0f);
  view->DragEdge({150, 75});  // past the lumen's right edge: refused
  EXPECT_EQ(engine->Analysis().GetZone(0).fixedLumenLeft, 125.0f);
}

// Shift with the left button takes the picture out: it neither selects nor
// draws, also over a zone; without a capture the press does nothing.
TEST_F(View, AShiftPressTakesThePictureOutAndLeavesTheZonesAlone) {
  ASSERT_EQ(engine->Analysis().AddZone({100, 100, 250, 100}), 0);
  engine->Analysis().SetAutoTrackingEnabled(0, false);
  ASSERT_EQ(view->LeftDown({101.5f, 75}, false), AnalysisViewModel::Press::kEdgeSelected);
  view->FinishPress();
  const auto selectedBefore = viewEvents.selected;
  for (const ViewPoint at : {ViewPoint{101.5f, 75}, ViewPoint{300, 200}}) {
    EXPECT_EQ(view->LeftDown(at, true), AnalysisViewModel::Press::kDragOut);
    EXPECT_EQ(view->SelectedZone(), 0);
    EXPECT_EQ(engine->Analysis().GetZone(0).selectedEdge, kEdgeLumenLeft);
  }
  EXPECT_EQ(viewEvents.selected, selectedBefore);
  EXPECT_EQ(engine->Analysis().GetZoneCount(), 1);
  engine->StopCapture();
  EXPECT_EQ(view->LeftDown({101.5f, 75}, true), AnalysisViewModel::Press::kNothing);
  EXPECT_EQ(view->LeftDown({300, 200}, false), AnalysisViewModel::Press::kNothing);
}

TEST_F(View, MovingAZoneKeepsItsEdgesInThePicture) {
  ASSERT_EQ(engine->Analysis().AddZone({100, 100, 200, 100}), 0);
  const std::vector<std::uint8_t> vessel = [] {
    std::vector<std::uint8_t> f(640 * 480, 250);
    for (int y = 0; y < 480; ++y) {
      for (int x : {150, 151, 152, 153, 250, 251, 252, 253}) f[y * 640 + x] = 0;
    }
    return f;
  }();
  camera->Deliver(vessel);
  const ZoneEvent before = events.Zones().back();
  view->LeftDown({150, 75}, false);
  // The tracker moved the zone 20 window pixels (40 picture pixels) left.
  std::array<ViewPoint, 4> outline = view->SelectedOutline();
  for (ViewPoint& p : outline) p.x -= 20;
  view->TrackerMoved(outline);
  const AnalysisZone z = engine->Analysis().GetZone(0);
  EXPECT_EQ(engine->Analysis().GetAnalysisData().zones[0].left, 60);
  EXPECT_EQ(z.rings[kRingOuterLeft][z.historyIndex], static_cast<float>(before.vesselLeft + 40));
  // Turned by 90 degrees: the angle goes into the record.
  view->TrackerMoved({ViewPoint{100, 50}, {100, 150}, {50, 150}, {50, 50}});
  EXPECT_FLOAT_EQ(engine->Analysis().GetAnalysisData().zones[0].angle, 90.0f);
}

TEST_F(View, TheOverlayDrawsWallsOutlinesNumbersAndTheLabel) {
  engine->Analysis().SetMaxZones(3);
  ASSERT_EQ(engine->Analysis().AddZone({100, 100, 200, 100}), 0);
  std::vector<std::uint8_t> frame(640 * 480, 250);
  for (int y = 0; y < 480; ++y) {
    for (int x : {150, 151, 152, 153, 250, 251, 252, 253}) frame[y * 640 + x] = 0;
  }
  camera->Deliver(frame);
  engine->Analysis().SetOuterLeftAdjustment(0, 3);
  Overlay one = view->BuildOverlay();
  ASSERT_EQ(one.edges.size(), 4u);  // two walls, two lumen edges
  const ZoneEvent e = events.Zones().back();
  // x = (bounds left + adjustment + mean) / scale + 0.5, whole pixels.
  EXPECT_EQ(one.edges[0].a.x, std::floor((100 + 3 + e.vesselLeft) / 2.0f + 0.5f));
  EXPECT_EQ(one.edges[0].a.y, 50.0f);
  EXPECT_EQ(one.edges[0].b.y, 100.0f);
  EXPECT_TRUE(one.numbers.empty());  // a single zone has no number
  EXPECT_EQ(one.fontPixels, 10);
  EXPECT_EQ(one.label, "");

  ASSERT_EQ(engine->Analysis().AddZone({350, 100, 200, 100}), 1);
  ASSERT_EQ(engine->Analysis().AddZone({100, 300, 200, 100}), 2);
  view->LeftDown({225, 75}, false);  // selects zone 1
  const Overlay three = view->BuildOverlay();
  ASSERT_EQ(three.numbers.size(), 2u);
  EXPECT_EQ(three.numbers[0].text, "1");
  EXPECT_EQ(three.numbers[1].text, "3");
  EXPECT_EQ(three.numbers[1].centre, (ViewPoint{50, 150}));
  EXPECT_EQ(three.outlines.size(), 3u);

  engine->Analysis().IgnoreLumen(1);
  EXPECT_EQ(view->BuildOverlay().edges.size(), 2u);  // zones 1 and 2 have no result yet

  engine->StartRecording("/nonexistent/Record_1.avi");
  EXPECT_EQ(view->BuildOverlay().label, "[ Recording ]");
  clock.running = false;
  EXPECT_EQ(view->BuildOverlay().label, "[Pause]");
  EXPECT_EQ(AnalysisViewModel::IdlePicture(299), AnalysisViewModel::kIdleSmall);
  EXPECT_EQ(AnalysisViewModel::IdlePicture(300), AnalysisViewModel::kIdleLarge);
  EXPECT_EQ(AnalysisViewModel::IdlePicture(149), 0);
}

TEST_F(View, RepaintsAtTheDivisor) {
  const struct {
    int divisor;
    int zoneResultsPerFrame;
    std::vector<bool> due;
  } cases[] = {
      {3, 0, {false, true, false, true}},  // counter 0 -> 2 -> due
      {1, 0, {true, true, true}},
      {5, 1, {false, false, true, false}},  // +2 a frame, +1 a zone result: 3, 6, due
  };
  for (const auto& c : cases) {
    AnalysisViewModel fresh(*engine, viewEvents);
    engine->SetRepaintDivisor(c.divisor);
    std::vector<bool> due;
    for (std::size_t i = 0; i < c.due.size(); ++i) {
      due.push_back(fresh.FramePrepared());
      for (int r = 0; r < c.zoneResultsPerFrame; ++r) fresh.ZoneResult();
    }
    EXPECT_EQ(due, c.due) << c.divisor;
  }
}

TEST(AnalysisColors, OleColorsBecomeOpaqueRgb) {
  EXPECT_EQ(OleColorToArgb(0x00332211), 0xFF112233u);
  EXPECT_EQ(OleColorToArgb(0x0000FF00), 0xFF00FF00u);
}

TEST(FrameData, HeaderThenPaddedBlueGreenRedRows) {
  EXPECT_EQ(FrameDataSize(nullptr), 44);
  cv::Mat grey(2, 3, CV_8UC1);
  for (int i = 0; i < 6; ++i) grey.data[i] = static_cast<std::uint8_t>(10 * (i + 1));
  ASSERT_EQ(FrameDataSize(&grey), 44 + 2 * 12);  // 9 bytes a row padded to 12
  std::vector<std::uint8_t> buffer(68, 0xEE);
  EXPECT_EQ(WriteFrameData(&grey, buffer.data(), 67), -1);
  EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](std::uint8_t b) { return b == 0xEE; }));
  EXPECT_EQ(WriteFrameData(nullptr, buffer.data(), 68), -1);
  ASSERT_EQ(WriteFrameData(&grey, buffer.data(), 68), 68);
  const std::uint8_t* p = buffer.data();
  EXPECT_EQ(Bytes::GetLE<std::uint32_t>(p), 40u);
  EXPECT_EQ(Bytes::GetLE<std::int32_t>(p + 4), 3);
  EXPECT_EQ(Bytes::GetLE<std::int32_t>(p + 8), -2);
  EXPECT_EQ(Bytes::GetLE<std::uint16_t>(p + 12), 1);
  EXPECT_EQ(Bytes::GetLE<std::uint16_t>(p + 14), 24);
  EXPECT_EQ(Bytes::GetLE<std::uint32_t>(p + 16), 0u);
  EXPECT_EQ(Bytes::GetLE<std::uint32_t>(p + 20), 24u);
  EXPECT_TRUE(std::all_of(p + 24, p + 44, [](std::uint8_t b) { return b == 0; }));
  const std::vector<std::uint8_t> rows(p + 44, p + 68);
  EXPECT_EQ(rows, (std::vector<std::uint8_t>{10, 10, 10, 20, 20, 20, 30, 30, 30, 0, 0, 0,  //
                                             40, 40, 40, 50, 50, 50, 60, 60, 60, 0, 0, 0}));
  cv::Mat colour(1, 1, CV_8UC3, cv::Scalar(1, 2, 3));
  ASSERT_EQ(WriteFrameData(&colour, buffer.data(), 68), 48);
  EXPECT_EQ((std::vector<std::uint8_t>(p + 44, p + 48)), (std::vector<std::uint8_t>{1, 2, 3, 0}));
}

}  // namespace
}  // namespace ORV::CaptureTest
