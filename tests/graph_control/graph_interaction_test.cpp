// The graph's mouse handling without a window: scripted sessions of presses,
// moves and releases against a recording host (selection, annotation
// dragging, right click, wheel over the axis zones, cursors), and the data
// the drag-outs produce, byte-compared to fixtures.
#include "graph_control/graph_interaction.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <tuple>

#include "graph_control/graph_export.h"
#include "graph_control/graph_interface.h"
#include "platform/os/folders.h"
#include "tests/support/test_support.h"

namespace ORV::Graph {
namespace {

std::string Fixture(const std::string& name) {
  std::string text;
  const char* root = std::getenv("ORV_TEST_SOURCE_DIR");
  EXPECT_TRUE(root && OS::ReadFile(std::string(root) + "/tests/graph_control/data/" + name, text)) << name;
  return text;
}

struct Post {
  std::uint32_t message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
  bool operator==(const Post&) const = default;
};

struct Recorder : InteractionHost {
  std::vector<std::pair<double, double>> selections, positions;
  std::vector<double> doubleClicks;
  std::vector<Post> posts;
  std::vector<MouseCursor> cursors;
  std::vector<std::string> texts, files;
  int pictures = 0, redraws = 0;
  bool parent = true;
  void FireCursorPosition(double x, double y) override { positions.emplace_back(x, y); }
  void FireSelectTrace(double a, double b) override { selections.emplace_back(a, b); }
  void FireDoubleClick(double t) override { doubleClicks.push_back(t); }
  bool PostToParent(std::uint32_t m, std::uintptr_t w, std::intptr_t l) override {
    posts.push_back({m, w, l});
    return parent;
  }
  bool HasParent() const override { return parent; }
  void SetMouseCursor(MouseCursor c) override { cursors.push_back(c); }
  void Redraw() override { ++redraws; }
  void DragPicture() override { ++pictures; }
  void DragText(const std::string& t) override { texts.push_back(t); }
  void DragFile(const std::string& p) override { files.push_back(p); }
};

// A 600 x 300 control whose plot spans columns 50..550 and rows 10..260;
// X 0..125 gives t(x) = (x - 50) / 4 exactly, Y 0..10.
struct Session {
  GraphModel g;
  Recorder host;
  GraphInteraction mouse{g, host};
  Session() {
    g.SetRange(0, 125, 0, 10, false);
    g.SetLayout({0, 0, 600, 300}, {50, 10, 550, 260});
  }
  static int X(double t) { return static_cast<int>(50 + t * 4); }
  void PlotFixturePoints() {
    for (auto [x, y] : {std::pair{3.0, 9.0}, {4.0, 1.5}, {5.25, -0.125}, {7.0, 1e300}, {10.0, 2.0 / 3.0}, {11.0, 9.0}})
      g.PlotXY(x, y, 0);
  }
};

constexpr unsigned L = kLeftButton;
constexpr unsigned Ctrl = kControlKey;

TEST(GraphInteraction, DragRightSelectsAndReportsOnce) {
  Session s;
  s.mouse.LeftDown(L, Session::X(4), 100);
  s.mouse.MouseMove(L, Session::X(7), 100);
  s.mouse.MouseMove(L, Session::X(10), 100);
  EXPECT_EQ(s.g.SelStart(), 4);
  EXPECT_EQ(s.g.SelStop(), 10);
  EXPECT_TRUE(s.host.selections.empty());  // reported on release only
  s.mouse.LeftUp(0, Session::X(10), 100);
  EXPECT_EQ(s.host.selections, (std::vector<std::pair<double, double>>{{4, 10}}));
  double a = 0, b = 0;
  s.g.GetActiveSelection(&a, &b);
  EXPECT_EQ(std::make_pair(a, b), std::make_pair(s.g.SelStart(), s.g.SelStop()));
  // Every move inside the plot reported the data coordinates under it.
  EXPECT_EQ(s.host.positions, (std::vector<std::pair<double, double>>{{7, 6.4}, {10, 6.4}}));
}

TEST(GraphInteraction, LeftwardDragDrawsTheBandButReportsNothing) {
  Session s;
  s.mouse.LeftDown(L, Session::X(10), 100);
  s.mouse.MouseMove(L, Session::X(8), 100);
  s.mouse.MouseMove(L, Session::X(4), 100);
  s.mouse.LeftUp(0, Session::X(4), 100);
  EXPECT_EQ(s.g.SelStart(), 4);
  EXPECT_EQ(s.g.SelStop(), 10);
  EXPECT_TRUE(s.host.selections.empty());
  EXPECT_GT(s.host.redraws, 0);
}

TEST(GraphInteraction, RightClickClearsAndReportsAndRestoresTheSavedRangeInTrackMode73) {
  Session s;
  s.mouse.RightDown(kRightButton, 66, 120);
  EXPECT_EQ(s.host.selections, (std::vector<std::pair<double, double>>{{0, 0}}));  // nothing was selected

  s.g.SelectTrace(4, 10);
  s.g.SetTrackMode(73);  // saves 0..125 x 0..10
  s.g.SetRange(20, 30, 1, 2, false);
  s.mouse.RightDown(kRightButton, 70, 120);
  EXPECT_EQ(s.g.SelStart(), 0);
  EXPECT_EQ(s.g.SelStop(), 0);
  EXPECT_EQ(s.host.selections.size(), 2u);
  EXPECT_EQ(std::make_tuple(s.g.XMin(), s.g.XMax(), s.g.YMin(), s.g.YMax()), std::make_tuple(0.0, 125.0, 0.0, 10.0));
}

TEST(GraphInteraction, WheelOverTheAxisZonesGoesToTheParent) {
  Session s;
  EXPECT_TRUE(s.mouse.Wheel(120, 20, 100));    // left axis zone
  EXPECT_TRUE(s.mouse.Wheel(-120, 300, 280));  // below the plot
  EXPECT_FALSE(s.mouse.Wheel(120, 300, 100));  // over the plot: default handling
  EXPECT_TRUE(s.mouse.Wheel(120, 580, 100));   // outside both zones: handled, not posted
  EXPECT_EQ(s.host.posts, (std::vector<Post>{{WM_GRAPH_AXIS_WHEEL, 10, 1}, {WM_GRAPH_AXIS_WHEEL, 11, -1}}));
  s.host.parent = false;
  EXPECT_FALSE(s.mouse.Wheel(120, 20, 100));
  EXPECT_EQ(s.host.posts.size(), 2u);
}

TEST(GraphInteraction, MouseCursorFollowsTheAxisZones) {
  Session s;
  s.mouse.MouseMove(0, 20, 100);
  s.mouse.MouseMove(0, 300, 280);
  s.mouse.MouseMove(0, 580, 280);
  s.mouse.MouseMove(0, 300, 100);
  EXPECT_EQ(s.host.cursors, (std::vector<MouseCursor>{MouseCursor::SizeNS, MouseCursor::SizeWE, MouseCursor::Arrow,
                                                      MouseCursor::Arrow}));
  EXPECT_EQ(s.host.positions.size(), 1u);  // only the move inside the plot
}

TEST(GraphInteraction, CtrlPressPicksTheAnnotationAndTheReleasePostsItsNewTime) {
  Session s;
  s.g.AddAnnotation();
  s.g.AddAnnotation();
  s.g.SetAnnoLabelX(12.345);  // annotation 1, at column 99.38
  // Two pixels left: the window t(94)..t(100) = 11000..12500 ms holds 12345.
  s.mouse.LeftDown(L | Ctrl, 97, 100);
  EXPECT_EQ(s.g.DraggedAnnotation(), 1);
  EXPECT_EQ(s.g.SelStart(), 0);  // no selection starts
  s.mouse.MouseMove(L | Ctrl, 150, 100);
  EXPECT_EQ(s.g.DraggedAnnotation(), 1);
  EXPECT_EQ(s.g.DragMouseX(), 150);
  s.mouse.LeftUp(Ctrl, 150, 100);  // t = 25
  EXPECT_EQ(s.host.posts, (std::vector<Post>{{WM_GRAPH_ANNOTATION_MOVED, 1, 25000}}));
  EXPECT_EQ(s.g.DraggedAnnotation(), -1);
  EXPECT_TRUE(s.host.selections.empty());

  // Too far away: nothing is picked, and a release posts nothing.
  s.mouse.LeftDown(L | Ctrl, 90, 100);
  EXPECT_EQ(s.g.DraggedAnnotation(), -1);
  s.mouse.LeftUp(Ctrl, 90, 100);
  EXPECT_EQ(s.host.posts.size(), 1u);

  // Letting Ctrl go during the drag ends it unreported.
  s.mouse.LeftDown(L | Ctrl, 99, 100);
  EXPECT_EQ(s.g.DraggedAnnotation(), 1);
  s.mouse.MouseMove(L, 120, 100);
  EXPECT_EQ(s.g.DraggedAnnotation(), -1);
  s.mouse.LeftUp(Ctrl, 120, 100);
  EXPECT_EQ(s.host.posts.size(), 1u);
}

TEST(GraphInteraction, NothingStaleIsPickedAfterClearGraphOrADeletion) {
  Session s;
  s.g.AddAnnotation();
  s.g.SetAnnoLabelX(12.345);
  s.g.ClearGraph();
  s.g.SetLayout({0, 0, 600, 300}, {50, 10, 550, 260});
  s.mouse.LeftDown(L | Ctrl, 99, 100);
  EXPECT_EQ(s.g.DraggedAnnotation(), -1);
  s.mouse.LeftUp(Ctrl, 99, 100);
  EXPECT_TRUE(s.host.posts.empty());

  // Two annotations; deleting the first by name leaves the second picked
  // under its new index.
  s.g.AddAnnotation();
  s.g.SetAnnoLabelCaption("a");
  s.g.SetAnnoLabelX(2);
  s.g.AddAnnotation();
  s.g.SetAnnoLabelX(12.345);
  s.g.DeleteAnnotationByName("a");
  s.mouse.LeftDown(L | Ctrl, 99, 100);
  EXPECT_EQ(s.g.DraggedAnnotation(), 0);
  s.mouse.LeftDown(L | Ctrl, Session::X(2), 100);
  EXPECT_EQ(s.g.DraggedAnnotation(), -1);
}

TEST(GraphInteraction, DoubleClickMarkerAndTimeAtPos) {
  Session s;
  s.mouse.LeftDoubleClick(L, Session::X(30), 100);
  s.mouse.AddMarkerAtCurrentTime();  // the right edge: (500 - 1) / 4
  EXPECT_EQ(s.host.doubleClicks, (std::vector<double>{30, 124.75}));

  EXPECT_EQ(s.mouse.GetTimeAtPos(0), (25 - 50) / 4.0);  // before any right click: point (0, 0)
  s.mouse.RightDown(kRightButton, 66, 100);
  EXPECT_EQ(s.mouse.GetTimeAtPos(0), (66 + 25 - 50) / 4.0);
  EXPECT_EQ(s.mouse.GetTimeAtPos(500), s.mouse.GetTimeAtPos(0));
  s.mouse.SetDpi(144);
  EXPECT_EQ(s.mouse.GetTimeAtPos(0), (66 + 37 - 50) / 4.0);
}

TEST(GraphInteraction, PressInsideTheSelectionDragsItsPointsOut) {
  ORV::Test::TempDir tmp;
  Session s;
  s.mouse.SetTempFolder(tmp.path());
  s.PlotFixturePoints();
  s.g.SelectTrace(4, 10);

  s.mouse.LeftDown(L, Session::X(5), 100);
  ASSERT_EQ(s.host.texts.size(), 1u);
  EXPECT_EQ(s.host.texts[0], Fixture("selected_points.txt"));

  s.mouse.LeftDown(L | kAltKey, Session::X(5), 100);
  ASSERT_EQ(s.host.files.size(), 1u);
  const std::filesystem::path file = s.host.files[0];
  EXPECT_EQ(file.parent_path(), tmp.path());
  EXPECT_EQ(file.filename().string().substr(0, 3), "ORV");
  EXPECT_EQ(file.extension(), ".csv");
  EXPECT_EQ(ORV::Test::FileMode(file), 0600u);
  std::string bytes;
  ASSERT_TRUE(OS::ReadFile(file, bytes));
  EXPECT_EQ(bytes, Fixture("selected_points.csv"));

  s.mouse.LeftDown(L | kShiftKey, Session::X(20), 100);
  EXPECT_EQ(s.host.pictures, 1);
  // None of the drags touched the selection.
  EXPECT_EQ(std::make_pair(s.g.SelStart(), s.g.SelStop()), std::make_pair(4.0, 10.0));
}

TEST(GraphInteraction, DragOutsOfNothingOfferNothing) {
  ORV::Test::TempDir tmp;
  Session s;
  s.mouse.SetTempFolder(tmp.path());
  s.g.SelectTrace(4, 10);  // no points
  s.mouse.LeftDown(L, Session::X(5), 100);
  s.mouse.LeftDown(L | kAltKey, Session::X(5), 100);
  EXPECT_TRUE(s.host.texts.empty());
  EXPECT_TRUE(s.host.files.empty());
  EXPECT_EQ(std::make_pair(s.g.SelStart(), s.g.SelStop()), std::make_pair(4.0, 10.0));

  // A file that cannot be written whole is removed and not offered.
  s.PlotFixturePoints();
  {
    ORV::Test::FileSizeLimit limit(16);
    s.mouse.LeftDown(L | kAltKey, Session::X(5), 100);
  }
  EXPECT_TRUE(s.host.files.empty());
  EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
  s.mouse.SetTempFolder(tmp / "missing");
  s.mouse.LeftDown(L | kAltKey, Session::X(5), 100);
  EXPECT_TRUE(s.host.files.empty());
}

TEST(GraphExport, NumbersIgnoreTheLocale) {
  Session s;
  s.PlotFixturePoints();
  s.g.SelectTrace(4, 10);
  ORV::Test::CommaLocale comma;
  EXPECT_EQ(SelectedPointsText(s.g), Fixture("selected_points.txt"));
}

}  // namespace
}  // namespace ORV::Graph
