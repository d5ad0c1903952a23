// The trace view's commands, axis operations, wheel and keys, marker moves,
// video frames, graph events and context menu; the trace settings editor.
#include <gtest/gtest.h>

#include "custom_traces/custom_trace_context.h"
#include "tests/views/view_fixture.h"
#include "views/trace_settings.h"

namespace ORV::Views::Test {
namespace {

class TraceViewCommandsTest : public ViewFixture {
 protected:
  std::unique_ptr<CPelmoraView> MakeFramedView() {
    auto view = MakeView();
    view->SetFrame(&frame_);
    return view;
  }
  FakeFrame frame_;
};

TEST_F(TraceViewCommandsTest, ZoomYInSinglePrecisionAndOnlyWhenTheGraphTakesIt) {
  auto view = MakeFramedView();
  view->ShowTrace(11);  // 0..100
  view->ZoomY(1);
  const double out = static_cast<float>(100.0 * 1.100000023841858);
  EXPECT_EQ(view->YMax(), out);
  view->ZoomY(-1);
  EXPECT_EQ(view->YMax(), static_cast<double>(static_cast<float>(out * 0.9)));
  // A minimum above the new maximum keeps the maximum.
  view->SetYRange(95.0, 100.0);
  view->ZoomY(-1);
  EXPECT_EQ(graph_.calls.back(), "44 R8 -1 R8 -1 R8 95 R8 100 I4 0");
  EXPECT_EQ(view->YMax(), 100.0);
  // A range the graph refuses is not taken.
  graph_.setRangeResult = false;
  view->ZoomY(1);
  EXPECT_EQ(view->YMax(), 100.0);
}

TEST_F(TraceViewCommandsTest, ZoomYReadsAnAutomaticRangeBackFirst) {
  auto view = MakeFramedView();
  view->ShowTrace(11);
  view->SetAutoRangeNow(true);
  graph_.calls.clear();
  view->ZoomY(1);
  EXPECT_EQ(graph_.calls.front(), "78 BYREF BYREF");
  EXPECT_FALSE(view->AutoRangeNow());
  EXPECT_DOUBLE_EQ(view->YMin(), 2.0);
  EXPECT_EQ(view->YMax(), static_cast<double>(static_cast<float>(8.0 * 1.100000023841858)));
}

TEST_F(TraceViewCommandsTest, ShiftYStopsAtTheFloorAndSeparatesEqualLimits) {
  auto view = MakeFramedView();
  view->ShowTrace(11);
  view->SetYRange(-995.0, -945.0);  // a step of 5
  view->ShiftY(-1);
  EXPECT_DOUBLE_EQ(view->YMin(), -1000.0);
  view->ShiftY(-1);  // would pass -1000: nothing moves
  EXPECT_DOUBLE_EQ(view->YMin(), -1000.0);
  EXPECT_DOUBLE_EQ(view->YMax(), -950.0);
  view->ShiftY(1);
  EXPECT_DOUBLE_EQ(view->YMin(), -995.0);
  view->SetYRange(3.0, 3.0);
  view->ShiftY(1);
  EXPECT_EQ(graph_.calls.back(), "44 R8 -1 R8 -1 R8 3 R8 3.5 I4 0");
}

TEST_F(TraceViewCommandsTest, ZoomXTellsTheMainWindowTheNewLength) {
  auto view = MakeFramedView();
  view->ShowTrace(11);
  view->SetXRange(20.0, 80.0);
  view->ZoomX(true);
  EXPECT_DOUBLE_EQ(view->XMax(), 100.0);
  ASSERT_EQ(frame_.posts.size(), 1u);
  EXPECT_EQ(frame_.posts[0], (FakeFrame::Post{WM_TRACE_WINDOW_LENGTH, 0, 80000}));
  view->ZoomX(false);
  EXPECT_DOUBLE_EQ(view->XMax(), 80.0);
  EXPECT_EQ(frame_.posts[1].lParam, 60000);
}

TEST_F(TraceViewCommandsTest, TheFrameSetsTheVisibleAndTheSelectedRange) {
  auto view = MakeFramedView();
  view->ShowTrace(11);
  graph_.calls.clear();
  view->SetVisibleRange(30.0, 90.0);
  view->SelectRange(40.0, 50.0);
  EXPECT_EQ(graph_.calls, (std::vector<std::string>{"44 R8 30 R8 90 R8 0 R8 100 I4 0", "61 R8 40 R8 50"}));
  EXPECT_DOUBLE_EQ(view->State().visibleStart, 30.0);
  EXPECT_DOUBLE_EQ(view->State().visibleEnd, 90.0);
}

TEST_F(TraceViewCommandsTest, KeysAndWheel) {
  auto view = MakeFramedView();
  view->ShowTrace(11);
  posts_->Take();
  // Ctrl + a key posts a navigation code to the view itself.
  struct KeyCase {
    NavigationKey key;
    OS::WPARAM code;
    OS::LPARAM n;
  };
  const KeyCase keys[] = {{NavigationKey::End, 2, 0}, {NavigationKey::Home, 1, 0},  {NavigationKey::Left, 0, -1},
                          {NavigationKey::Up, 3, 0},  {NavigationKey::Right, 0, 1}, {NavigationKey::Down, 4, 0}};
  struct Target final : OS::MessageTarget {
    std::vector<FakeFrame::Post> posts;
    bool PostMessage(std::uint32_t m, OS::WPARAM w, OS::LPARAM l) override {
      posts.push_back({m, w, l});
      return true;
    }
  };
  auto target = std::make_shared<Target>();
  CPelmoraView::Params p = ViewParams();
  p.self = target;
  CPelmoraView keyed(p);
  for (const KeyCase& k : keys) keyed.OnNavigationKey(k.key);
  ASSERT_EQ(target->posts.size(), 6u);
  for (std::size_t i = 0; i < 6; ++i)
    EXPECT_EQ(target->posts[i], (FakeFrame::Post{WM_TRACE_NAVIGATE, keys[i].code, keys[i].n}));

  // Scrolling goes on to the main window in window lengths.
  view->OnNavigate(0, -1);
  view->OnNavigate(2, 0);
  EXPECT_EQ(frame_.posts, (std::vector<FakeFrame::Post>{{WM_TRACE_NAVIGATE, 0, -60}, {WM_TRACE_NAVIGATE, 2, 0}}));
  frame_.posts.clear();

  view->OnMouseWheel({true, false, false}, 120);
  view->OnMouseWheel({true, false, false}, -120);
  EXPECT_EQ(frame_.posts, (std::vector<FakeFrame::Post>{{WM_TRACE_NAVIGATE, 0, 60}, {WM_TRACE_NAVIGATE, 0, -60}}));
  view->SetYRange(0.0, 100.0);
  view->OnMouseWheel({false, true, false}, 120);  // Ctrl: zoom Y
  EXPECT_NEAR(view->YMax(), 110.0, 1e-4);
  view->OnMouseWheel({false, false, false}, -120);  // plain: shift Y
  EXPECT_NEAR(view->YMin(), -11.0, 1e-4);
  view->OnMouseWheel({false, false, true}, 120);  // Alt: zoom X out
  EXPECT_DOUBLE_EQ(view->XMax(), 75.0);
}

TEST_F(TraceViewCommandsTest, MovingAMarkerMovesTheMarkerOfTheDraggedAnnotation) {
  data().AddCamera("cam1");
  Record();
  // One marker per camera at the same time (two keys), and another one.
  data().AddMarker("both", 1000, -1);
  data().AddMarker("later", 3000, 0);
  auto view = MakeFramedView();
  view->ShowTrace(11);
  ASSERT_EQ(view->Annotations().size(), 2u);  // camera 0's two markers
  const std::vector<std::uint32_t> before = data().MarkerIds();
  ASSERT_EQ(before.size(), 3u);

  // Annotation 1 is the marker at 3000; the graph posts its new time.
  EXPECT_TRUE(view->OnMoveMarker(1, 5000));
  const std::vector<std::uint32_t> after = data().MarkerIds();
  EXPECT_EQ(after.size(), 3u);
  EXPECT_EQ(std::count(after.begin(), after.end(), 3000u), 0);
  EXPECT_EQ(std::count(after.begin(), after.end(), 5000u), 1);
  EXPECT_TRUE(data().modified);
  EXPECT_EQ(frame_.actionSheetOpened, 1);
  ASSERT_EQ(view->Annotations().size(), 2u);
  EXPECT_EQ(view->Annotations().count(5000u), 1u);

  // An annotation the view does not show changes nothing.
  data().modified = false;
  EXPECT_FALSE(view->OnMoveMarker(7, 9000));
  EXPECT_EQ(data().MarkerIds().size(), 3u);
  EXPECT_FALSE(data().modified);
  // Through the graph's message.
  // Annotation 0 is camera 0's marker at 1000, not camera 1's beside it.
  EXPECT_TRUE(view->HandleFrameMessage(WM_TRACE_MOVE_MARKER, 0, 1500));
  std::map<std::uint32_t, MarkerData2> stored;
  for (std::size_t i = 0; i < data().MarkerCount(); ++i) stored[data().GetMarker(i).id] = data().GetMarker(i);
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(stored.at(1001).camera, 1u);
  EXPECT_EQ(stored.at(1500).camera, 0u);
  EXPECT_EQ(stored.at(1500).text, "both");
  EXPECT_EQ(stored.count(5000), 1u);
}

TEST_F(TraceViewCommandsTest, VideoFrameAtTheClickedTime) {
  auto view = MakeFramedView();
  view->ShowTrace(4);
  graph_.timeAtPos = 2.5;
  view->OnCommand(kCmdShowVideoFrame);  // no video loaded
  EXPECT_TRUE(frame_.shownFrames.empty());
  frame_.video = TraceViewFrame::Video{29.97f, 100};
  view->OnCommand(kCmdShowVideoFrame);
  EXPECT_EQ(frame_.shownFrames, (std::vector<std::pair<int, int>>{{0, 75}}));
  graph_.timeAtPos = 3.34;  // frame 100: past the last
  view->OnCommand(kCmdShowVideoFrame);
  graph_.timeAtPos = -0.5;
  view->OnCommand(kCmdShowVideoFrame);
  EXPECT_EQ(frame_.shownFrames.size(), 1u);
}

TEST_F(TraceViewCommandsTest, ChoosingCameraZoneAndKind) {
  data().AddCamera("cam1");
  auto view = MakeFramedView();
  view->OnZoneCreated(2, 0);
  view->OnZoneCreated(3, 1);
  view->OnCommand(kCmdFirstTraceKind + 4);
  EXPECT_EQ(view->TraceCode(), 4);
  view->OnCommand(kCmdFirstZoneButton + 1);
  EXPECT_EQ(view->SelectedZone(0), 2);
  view->OnCommand(kCmdFirstCamera + 1);
  EXPECT_EQ(view->CurrentCamera(), 1);
  EXPECT_EQ(view->TraceCode(), 4);
  EXPECT_EQ(view->SelectedZone(1), 1);
  EXPECT_EQ(view->Document().Title(), "Camera 2:Zone 1:Outer Diameter");
  EXPECT_EQ(view->ZoneButtonState().shown, 3);
  EXPECT_FALSE(view->OnCommand(12345));
}

TEST_F(TraceViewCommandsTest, AutoRangeNowTurnsTheKindsAutomaticRangeOn) {
  auto view = MakeFramedView();
  view->ShowTrace(12);
  EXPECT_FALSE(view->UseAutoRange());
  view->OnCommand(kCmdAutoRangeNow);
  EXPECT_TRUE(view->UseAutoRange());
  std::string unit;
  EXPECT_TRUE(view->Document().ReadTraceSettings(12, unit).autoRange);
}

TEST_F(TraceViewCommandsTest, GraphEvents) {
  auto view = MakeFramedView();
  const Com::Variant position[] = {Com::Variant(3724.4), Com::Variant(12.34)};
  view->OnGraphEvent(Graph::EventId::CursorPosition, position);
  EXPECT_EQ(frame_.readout, "");  // no trace shown
  view->ShowTrace(11);
  view->OnGraphEvent(Graph::EventId::CursorPosition, position);
  EXPECT_EQ(frame_.readout, "(1:02:04 , 12.3)");
  const Com::Variant range[] = {Com::Variant(5.0), Com::Variant(9.0)};
  view->OnGraphEvent(Graph::EventId::OnSelectTrace, range);
  EXPECT_EQ(frame_.selected, (std::pair<double, double>{5.0, 9.0}));
  const Com::Variant click[] = {Com::Variant(7.5)};
  view->OnGraphEvent(Graph::EventId::LButtonDBLClick, click);
  EXPECT_EQ(frame_.markerTimes, (std::vector<double>{7.5}));
}

// "Add" while collecting takes the clock's time, not the graph's right edge
// (which lies at the end of the window while the data are shorter).
TEST_F(TraceViewCommandsTest, AddAsksForAMarkerAtTheClocksTimeOnlyWhileTheRecordCollects) {
  auto view = MakeFramedView();
  Record();
  view->OnExperimentStarted(clock_.Now());
  tick_.Advance(2345);
  EXPECT_FALSE(view->AskMarkerAtClockTime()) << "no trace shown";
  view->ShowTrace(11);
  EXPECT_TRUE(view->AskMarkerAtClockTime());
  ASSERT_EQ(frame_.markerTimes.size(), 1u);
  EXPECT_DOUBLE_EQ(frame_.markerTimes[0], 2.3455);
  data().mode = kModeFile;
  EXPECT_FALSE(view->AskMarkerAtClockTime()) << "no collection";
  EXPECT_EQ(frame_.markerTimes.size(), 1u);
}

TEST_F(TraceViewCommandsTest, ContextMenu) {
  data().AddCamera("cam1");
  devices_.flowMeter = false;
  auto view = MakeFramedView();
  view->OnZoneCreated(2, 0);
  view->ShowTrace(4);
  const std::vector<MenuItem> menu = view->ContextMenu(65.25);
  const auto find = [&](int command) {
    for (const MenuItem& m : menu)
      if (m.command == command) return m;
    return MenuItem{"", -1};
  };
  EXPECT_EQ(menu.front().text, "Enable auto range");
  EXPECT_EQ(find(kCmdShowVideoFrame).text, "Show frame at time 01:05.25");
  EXPECT_TRUE(find(kCmdFirstCamera).checked);
  EXPECT_EQ(find(kCmdFirstCamera + 1).text, "Camera 2");
  EXPECT_TRUE(find(kCmdFirstZone).checked);
  EXPECT_EQ(find(kCmdFirstZone + 1).text, "Zone 2");
  EXPECT_EQ(find(kCmdFirstZone + 2).command, -1);
  EXPECT_TRUE(find(kCmdFirstTraceKind + 4).checked);
  EXPECT_FALSE(find(kCmdFirstTraceKind + 14).enabled);  // no flow meter
  EXPECT_TRUE(find(kCmdFirstTraceKind + 11).enabled);
  EXPECT_TRUE(find(kCmdFirstTraceKind + 0).enabled);
}

// ---- the trace settings editor ----

class TraceSettingsEditorTest : public ViewFixture {
 protected:
  CPelmoraDoc doc_{registry_, 5, ProgramText};
};

TEST_F(TraceSettingsEditorTest, LimitsAreCheckedAndStored) {
  doc_.SetTraceKind(11);
  TraceSettingsEditor editor(doc_, {}, 0, ProgramText);
  EXPECT_EQ(editor.Rows().size(), 21u);
  EXPECT_EQ(editor.Rows()[static_cast<std::size_t>(editor.Selected())].code, 11);
  EXPECT_EQ(editor.Current().unit, "mmHg");
  TraceSettingsEditor::Fields f = editor.Current();
  f.minimum = "11";
  f.maximum = "10";
  EXPECT_FALSE(editor.Accept(f));
  std::string unit;
  EXPECT_EQ(doc_.ReadTraceSettings(11, unit).maximum, 100);
  f.minimum = "10";
  f.maximum = "10x";
  f.horizontalLabels = "";
  f.autoRange = true;
  EXPECT_TRUE(editor.Accept(f));
  EXPECT_EQ(doc_.ReadTraceSettings(11, unit), (TraceSettings{10, 10, 0, 5, true, true}));
  EXPECT_EQ(LeadingInteger("-25abc"), -25);
  EXPECT_EQ(LeadingInteger("abc"), 0);
}

TEST_F(TraceSettingsEditorTest, AnInterfaceWithoutSomeChannelsLeavesTheirKindsOut) {
  doc_.WriteTraceSettings(13, TraceSettings{5, 45, 7, 3, false, false});
  doc_.SetTraceKind(0);
  TraceSettingsEditor editor(doc_, {}, kInterfaceWithoutOutletFlowForce, ProgramText);
  std::vector<std::int32_t> codes;
  for (const auto& r : editor.Rows()) codes.push_back(r.code);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), 12), 0);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), 14), 0);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), 17), 0);
  EXPECT_EQ(codes.size(), 18u);
  // "None": emptied and locked.
  EXPECT_FALSE(editor.Current().editable);
  EXPECT_EQ(editor.Current().minimum, "");
  EXPECT_EQ(editor.Current().unit, "");
  int mean = -1;
  for (std::size_t i = 0; i < editor.Rows().size(); ++i)
    if (editor.Rows()[i].name == "Mean Pressure") mean = static_cast<int>(i);
  const auto& f = editor.Select(mean);
  EXPECT_TRUE(f.editable);
  EXPECT_EQ(f.minimum, "5");
  EXPECT_EQ(f.maximum, "45");
  EXPECT_EQ(f.horizontalLabels, "7");
  EXPECT_FALSE(f.showUnit);

  TraceSettingsEditor forceless(doc_, {}, kInterfaceWithoutForce, ProgramText);
  EXPECT_EQ(forceless.Rows().size(), 20u);
}

TEST_F(TraceSettingsEditorTest, ACustomTraceKeepsItsSettingsInItsDefinition) {
  auto trace = std::make_shared<Traces::CustomTracesWithLuaContext>();
  auto definition = std::make_shared<Traces::CustomTraces>();
  definition->Name = "Tone";
  definition->MaximumLimit = 100;
  definition->UnitType = 2;
  trace->SetTrace(definition);
  doc_.SetTraceKind(4);
  TraceSettingsEditor editor(doc_, {{220, trace}}, 0, ProgramText);
  ASSERT_EQ(editor.Rows().back().name, "Tone");
  const auto& loaded = editor.Select(static_cast<int>(editor.Rows().size()) - 1);
  EXPECT_EQ(loaded.unit, "mmHg");
  TraceSettingsEditor::Fields f = loaded;
  f.minimum = "-5";
  f.maximum = "20";
  ASSERT_TRUE(editor.Accept(f));
  EXPECT_EQ(definition->MinimumLimit, -5);
  EXPECT_EQ(definition->MaximumLimit, 20);
  EXPECT_EQ(doc_.TraceCode(), 220);
  EXPECT_EQ(doc_.TraceSource(), trace);
  EXPECT_EQ(doc_.Title(), "Tone");
}

}  // namespace
}  // namespace ORV::Views::Test
