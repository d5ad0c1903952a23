#include "platform/ui/ribbon_status_bar.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "core/base/dpi.h"
#include "platform/ui/dpi.h"
#include "tests/support/ui/ui_test_support.h"

namespace ORV::UI {
namespace {

using Kind = StatusBarElement::Kind;

// The function-key commands in key order (F1 first).
constexpr CommandId kKeyIds[12] = {32796, 32783, 32794, 32795, 32786, 32787, 32788, 32789, 32790, 32791, 32792, 32793};

// A custom element that records the mouse it is given.
class RecordingBar : public RibbonStatusProgressBar {
 public:
  RecordingBar(CommandId id, int width) : RibbonStatusProgressBar(id, width, 22) {}
  void OnMouseMove(const QPoint& p) override { events.push_back("move " + std::to_string(p.x() - Rect().left())); }
  void OnLButtonDown(const QPoint&) override { events.push_back("down"); }
  void OnLButtonUp(const QPoint&) override { events.push_back("up"); }
  void OnLButtonDblClk(const QPoint&) override { events.push_back("dblclk"); }
  void OnMouseLeave() override { events.push_back("leave"); }
  std::vector<std::string> events;
};

// The main window's status bar as the frame fills it for a pressure-chamber
// system.
void FillLikeTheFrame(RibbonStatusBar& bar) {
  bar.AddElement(std::make_unique<RibbonStatusProgressBar>(36790, 300, 22), {}, false);
  auto* progress = bar.AddElement(std::make_unique<RibbonStatusProgressBar>(36788, 200, 22));
  progress->SetText("Sequencer not started");
  bar.AddSeparator();
  const char* markers[12] = {"Drug A", "Wash", "", "", "", "", "", "", "", "", "", "Stop"};
  for (int k = 0; k < 12; ++k)
    bar.AddElement(std::make_unique<StatusBarButton>(kKeyIds[k], "F" + std::to_string(k + 1)), markers[k]);
  auto start = std::make_unique<StatusBarButton>(36791, "Start");
  start->SetToolTipText("Start data collection");
  bar.AddExtendedElement(std::move(start), "Start");
  bar.AddSeparator();
  bar.AddExtendedElement(std::make_unique<StatusBarLabel>("\t\t\t\t\t\t\t"), "Start/Stop data collection", false);
  bar.AddSeparator();
  bar.AddElement(std::make_unique<StatusBarLabel>(std::string(25, ' ')));
  bar.AddSeparator();
  bar.AddElement(std::make_unique<StatusBarLabel>(std::string(14, ' ')));
  bar.AddSeparator();
  bar.AddElement(std::make_unique<StatusBarLabel>("------------"));
  bar.AddSeparator();
}

TEST(RibbonStatusBarTest, TheFramesElementsAreListedInOrder) {
  RibbonStatusBar bar;
  FillLikeTheFrame(bar);
  std::vector<std::pair<Kind, CommandId>> expected = {
      {Kind::Custom, 36790}, {Kind::Custom, 36788}, {Kind::Separator, 0}};
  for (CommandId id : kKeyIds) expected.push_back({Kind::Button, id});
  expected.push_back({Kind::Separator, 0});
  for (int i = 0; i < 3; ++i) expected.insert(expected.end(), {{Kind::Separator, 0}, {Kind::Label, 0}});
  expected.push_back({Kind::Separator, 0});
  ASSERT_EQ(bar.GetCount(), static_cast<int>(expected.size()));
  for (int i = 0; i < bar.GetCount(); ++i) {
    EXPECT_EQ(bar.GetElement(i)->GetKind(), expected[static_cast<std::size_t>(i)].first) << i;
    EXPECT_EQ(bar.GetElement(i)->Id(), expected[static_cast<std::size_t>(i)].second) << i;
  }
  EXPECT_EQ(bar.GetElement(3)->Text(), "F1");
  EXPECT_EQ(bar.GetElement(14)->Text(), "F12");
  EXPECT_EQ(bar.GetElement(19)->Text(), std::string(14, ' '));
  EXPECT_EQ(bar.GetElement(21)->Text(), "------------");
  ASSERT_EQ(bar.GetExCount(), 2);
  EXPECT_EQ(bar.GetExElement(0)->Id(), 36791u);
  EXPECT_EQ(bar.GetExElement(0)->Label(), "Start");
  EXPECT_EQ(bar.GetExElement(1)->Label(), "Start/Stop data collection");
  EXPECT_FALSE(bar.GetExElement(1)->IsVisible());
  EXPECT_EQ(bar.GetElement(-1), nullptr);
  EXPECT_EQ(bar.GetExElement(2), nullptr);

  EXPECT_EQ(bar.FindElement(36791), bar.GetExElement(0));
  EXPECT_EQ(bar.FindElement(32794)->Label(), "");
  EXPECT_EQ(bar.FindElement(32796)->Label(), "Drug A");
  EXPECT_FALSE(bar.FindElement(36790)->IsVisible());
  EXPECT_EQ(bar.FindElement(4242), nullptr);
  EXPECT_EQ(bar.FindLabelled("Drug A"), bar.FindElement(32796));
  EXPECT_EQ(bar.FindLabelled("Start/Stop data collection"), bar.GetExElement(1));
  EXPECT_EQ(bar.FindLabelled("no such label"), nullptr);
  EXPECT_EQ(bar.FindElement(0), nullptr);
}

TEST(RibbonStatusBarTest, TextVisibilityAndLayoutFollowChanges) {
  RibbonStatusBar bar;
  bar.resize(800, bar.height());
  FillLikeTheFrame(bar);
  StatusBarElement* nav = bar.FindElement(36790);
  StatusBarElement* progress = bar.FindElement(36788);
  EXPECT_TRUE(nav->Rect().isEmpty()) << "a hidden element takes no room";
  const int progressLeft = progress->Rect().left();
  EXPECT_EQ(progress->Rect().width(), 200);
  nav->SetVisible(true);
  EXPECT_EQ(nav->Rect().width(), 300);
  EXPECT_GT(progress->Rect().left(), progressLeft + 300);
  nav->SetVisible(false);
  EXPECT_EQ(progress->Rect().left(), progressLeft);

  // A longer text widens a label and moves what follows; extended elements sit at the right end.
  StatusBarElement* clock = bar.GetElement(17);
  StatusBarElement* after = bar.GetElement(19);
  const int afterLeft = after->Rect().left();
  clock->SetText(std::string(40, ' '));
  EXPECT_GT(after->Rect().left(), afterLeft);
  const QRect start = bar.FindElement(36791)->Rect();
  EXPECT_LE(start.right(), bar.width());
  EXPECT_GT(start.left(), bar.width() / 2);

  clock->SetToolTipText("Time of day");
  clock->SetDescription("The computer's clock");
  EXPECT_EQ(clock->ToolTipText(), "Time of day");
  EXPECT_EQ(clock->Description(), "The computer's clock");
  auto* bar2 = static_cast<RibbonStatusProgressBar*>(progress);
  bar2->SetRange(100, 0);
  bar2->SetPos(150);
  EXPECT_EQ(bar2->GetPos(), 100);
  bar2->SetInfiniteMode(true);
  bar2->SetPos(103);
  EXPECT_EQ(bar2->GetPos(), 2) << "infinite mode runs round";
}

// A bar that keeps left-button presses over one element from reaching it.
class SwallowingBar : public RibbonStatusBar {
 public:
  void OnLButtonDown(const QPoint& p) override {
    if (HitTest(p) && HitTest(p)->Id() == 36790) return;
    RibbonStatusBar::OnLButtonDown(p);
  }
};

TEST(RibbonStatusBarTest, TheMouseReachesTheElementUnderItAndButtonsRunTheirCommand) {
  CommandRouter router;
  SwallowingBar bar;
  bar.SetRouter(&router);
  bar.resize(900, bar.height());
  auto* nav = static_cast<RecordingBar*>(bar.AddElement(std::make_unique<RecordingBar>(36790, 300)));
  auto* other = static_cast<RecordingBar*>(bar.AddElement(std::make_unique<RecordingBar>(36788, 100)));
  auto* start = bar.AddExtendedElement(std::make_unique<StatusBarButton>(36791, "Start"), "Start");
  bar.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));

  const QPoint inNav = nav->Rect().topLeft() + QPoint(40, 5);
  ORV::Test::MouseMove(bar, inNav);
  ORV::Test::MouseClick(bar, Qt::LeftButton, Qt::NoModifier, inNav);
  ORV::Test::MouseDClick(bar, Qt::LeftButton, Qt::NoModifier, inNav);
  ORV::Test::MouseRelease(bar, Qt::LeftButton, Qt::NoModifier, inNav);
  const QPoint inOther = other->Rect().topLeft() + QPoint(50, 5);
  ORV::Test::MouseMove(bar, inOther);
  ORV::Test::MouseClick(bar, Qt::LeftButton, Qt::NoModifier, inOther);
  EXPECT_EQ(nav->events, (std::vector<std::string>{"move 40", "up", "dblclk", "up", "leave"}))
      << "presses are taken by the bar";
  EXPECT_EQ(other->events, (std::vector<std::string>{"move 50", "down", "up"}));

  int starts = 0;
  bool allowed = false;
  router.OnCommand(36791, [&] { ++starts; });
  router.OnUpdate(36791, [&](CmdUI& ui) {
    ui.Enable(allowed);
    ui.SetText(allowed ? "Stop" : "Start");
  });
  router.UpdateIdle();
  ORV::Test::MouseClick(bar, Qt::LeftButton, Qt::NoModifier, start->Rect().center());
  EXPECT_EQ(starts, 0) << "disabled";
  allowed = true;
  router.UpdateIdle();
  EXPECT_EQ(start->Text(), "Stop");
  ORV::Test::MouseClick(bar, Qt::LeftButton, Qt::NoModifier, start->Rect().center());
  EXPECT_EQ(starts, 1);
  // Released away from the button: nothing runs.
  ORV::Test::MousePress(bar, Qt::LeftButton, Qt::NoModifier, start->Rect().center());
  ORV::Test::MouseRelease(bar, Qt::LeftButton, Qt::NoModifier, inOther);
  EXPECT_EQ(starts, 1);
}

TEST(RibbonStatusBarTest, RendersAt96And144Dpi) {
  for (int dpi : {96, 144}) {
    SetDpiProvider([dpi] { return dpi; });
    CommandRouter router;
    for (CommandId id : kKeyIds) router.OnCommand(id, [] {});
    router.OnCommand(36791, [] {});
    RibbonStatusBar bar;
    bar.SetRouter(&router);
    bar.resize(ScaleByDpi(1000, dpi), bar.height());
    FillLikeTheFrame(bar);
    bar.GetElement(17)->SetText("Thu Dec 10 06:20:11 2026");
    bar.GetElement(19)->SetText("00:12:41");
    router.UpdateIdle();
    bar.show();
    QApplication::processEvents();
    EXPECT_FALSE(ORV::Test::SaveUiArtifact(bar, "ribbon_status_bar_" + std::to_string(dpi)).isNull());
  }
  InstallScreenDpiProvider();
}

}  // namespace
}  // namespace ORV::UI
