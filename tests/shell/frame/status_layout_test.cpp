// The frame's status bar elements and pane layout: live and review layouts,
// the reset, the navigation bar's mouse routing and pop-up, and renders of
// the status bar and the pop-up.
#include <gtest/gtest.h>

#include <QApplication>

#include "platform/ui/pane_manager.h"
#include "platform/ui/ribbon_bar.h"
#include "shell/frame/status_elements.h"
#include "tests/shell/frame/frame_fakes.h"
#include "tests/support/ui/ui_test_support.h"

namespace ORV {
namespace {

using namespace ORV::Test;

bool Visible(CMainFrame& frame, UI::DockingPane* pane) { return pane && frame.Panes().IsPaneVisible(*pane); }

TEST_F(MainFrameTest, ReviewShowsTheVideoPanesWithRecordsAndHidesTheLivePanes) {
  config.ProductType = kPressureChamber;
  instruments.loaded = 1 | 2 | 8;
  instruments.microscopes = 1;
  cameras = Cameras(0, 2);
  auto frame = Make();
  ASSERT_EQ(frame->OnCreate(), 0);
  frame->resize(1200, 800);
  frame->show();
  EXPECT_TRUE(Visible(*frame, &frame->CameraWindows()[0]->Pane()));
  EXPECT_TRUE(Visible(*frame, frame->PaneOf(PaneKind::Single)));
  EXPECT_FALSE(Visible(*frame, frame->PaneOf(PaneKind::Video, 0)));
  EXPECT_TRUE(frame->SequencerProgress()->IsVisible());
  EXPECT_FALSE(frame->NavigationBar()->IsVisible());
  SaveUiArtifact(*frame->StatusBar(), "status_bar_live");

  experiment.Update([](ExperimentContents& c) {
    c.fileCameraNames = {"a", "b"};
    c.analysisData[0].push_back(AnalysisData{});
    c.analysisData[1].push_back(AnalysisData{});
    return 0;
  });
  experiment.mode = kModeFile;
  frame->UpdatePaneLayout(false, false);
  EXPECT_TRUE(Visible(*frame, frame->PaneOf(PaneKind::Video, 0)));
  EXPECT_TRUE(Visible(*frame, frame->PaneOf(PaneKind::Video, 1)));
  EXPECT_FALSE(Visible(*frame, frame->PaneOf(PaneKind::Video, 2)));
  EXPECT_FALSE(Visible(*frame, frame->PaneOf(PaneKind::Video, 3)));
  for (CameraWindow* window : frame->CameraWindows()) EXPECT_FALSE(Visible(*frame, &window->Pane()));
  for (PaneKind kind : {PaneKind::CameraPane, PaneKind::Single, PaneKind::Multi, PaneKind::Flow, PaneKind::Sequencer,
                        PaneKind::Microscope})
    EXPECT_FALSE(Visible(*frame, frame->PaneOf(kind))) << static_cast<int>(kind);
  EXPECT_TRUE(frame->NavigationBar()->IsVisible());
  EXPECT_FALSE(frame->SequencerProgress()->IsVisible());
  EXPECT_EQ(frame->Ribbon()->FindByID(ID_VIEW_CAMERA_BUTTON)->Text(), "Show Video Window");
  frame->NavigationBar()->SetRange({0, 600000, 120000, 60000});
  SaveUiArtifact(*frame->StatusBar(), "status_bar_review");
}

TEST_F(MainFrameTest, WithTheVideoFlagOneCameraLeavesNoCameraPane) {
  cameras = Cameras(0, 1);
  experiment.videoEnabled = true;
  auto frame = Make();
  ASSERT_EQ(frame->OnCreate(), 0);
  frame->show();
  EXPECT_FALSE(Visible(*frame, frame->PaneOf(PaneKind::CameraPane)));
}

TEST_F(MainFrameTest, ResetDocksEveryPaneAtItsHomeSide) {
  config.ProductType = kPressureChamber;
  instruments.loaded = 1 | 2 | 8;
  instruments.microscopes = 2;
  cameras = Cameras(0, 2);
  auto frame = Make();
  ASSERT_EQ(frame->OnCreate(), 0);
  frame->show();
  UI::PaneManager& panes = frame->Panes();
  // Move a few away first.
  panes.DockToFrameWindow(*frame->PaneOf(PaneKind::Flow), UI::CBRS_ALIGN_LEFT);
  panes.DockToFrameWindow(frame->CameraWindows()[1]->Pane(), UI::CBRS_ALIGN_TOP);
  ASSERT_TRUE(frame->Router().Execute(ID_RESET_BUTTON));
  for (CameraWindow* window : frame->CameraWindows())
    EXPECT_EQ(panes.DockedSide(window->Pane()), UI::CBRS_ALIGN_BOTTOM);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(panes.DockedSide(*frame->PaneOf(PaneKind::Video, k)), UI::CBRS_ALIGN_BOTTOM);
  EXPECT_EQ(panes.DockedSide(*frame->PaneOf(PaneKind::CameraPane)), UI::CBRS_ALIGN_LEFT);
  for (int m = 0; m < 2; ++m) EXPECT_EQ(panes.DockedSide(*frame->PaneOf(PaneKind::Microscope, m)), UI::CBRS_ALIGN_LEFT);
  for (PaneKind kind : {PaneKind::Flow, PaneKind::Single, PaneKind::Multi, PaneKind::Sequencer})
    EXPECT_EQ(panes.DockedSide(*frame->PaneOf(kind)), UI::CBRS_ALIGN_RIGHT) << static_cast<int>(kind);
}

TEST_F(MainFrameTest, ShowCameraBringsBackTheCameraWindowsLiveAndTheVideoPanesInReview) {
  instruments.loaded = 32;  // an incubation chamber system: both cameras are the experiment's
  cameras = Cameras(0, 2);
  auto frame = Make();
  ASSERT_EQ(frame->OnCreate(), 0);
  frame->show();
  UI::PaneManager& panes = frame->Panes();
  for (CameraWindow* window : frame->CameraWindows()) panes.ShowPane(window->Pane(), false, false);
  ASSERT_TRUE(frame->Router().Execute(ID_VIEW_CAMERA_BUTTON));
  for (CameraWindow* window : frame->CameraWindows()) EXPECT_TRUE(Visible(*frame, &window->Pane()));

  experiment.Update([](ExperimentContents& c) {
    c.fileCameraNames = {"a", "b"};
    return 0;
  });
  experiment.mode = kModeFile;
  frame->UpdatePaneLayout(false, false);
  ASSERT_FALSE(Visible(*frame, frame->PaneOf(PaneKind::Video, 0)));  // no records yet
  ASSERT_TRUE(frame->Router().Execute(ID_VIEW_CAMERA_BUTTON));
  EXPECT_TRUE(Visible(*frame, frame->PaneOf(PaneKind::Video, 0)));
  EXPECT_TRUE(Visible(*frame, frame->PaneOf(PaneKind::Video, 1)));
  EXPECT_FALSE(Visible(*frame, frame->PaneOf(PaneKind::Video, 2)));
  for (CameraWindow* window : frame->CameraWindows()) EXPECT_FALSE(Visible(*frame, &window->Pane()));
}

TEST_F(MainFrameTest, TheNavigationBarTakesTheMouseAndShowsThePopup) {
  cameras = Cameras(0, 1);
  experiment.mode = kModeFile;
  auto frame = Make();
  ASSERT_EQ(frame->OnCreate(), 0);
  frame->resize(1200, 800);
  frame->show();
  CNavigationControllerBar& bar = *frame->NavigationBar();
  ASSERT_TRUE(bar.IsVisible());
  bar.SetRange({0, 1000, 0, 100});
  frame->StatusBar()->RecalcLayout();
  ASSERT_FALSE(bar.Rect().isEmpty());
  std::vector<std::int32_t> shownAt;
  frame->OrvStatusBar()->Popup().SetPictureSource([&](std::int32_t position) -> std::optional<QImage> {
    shownAt.push_back(position);
    QImage picture(64, 48, QImage::Format_Grayscale8);
    picture.fill(position % 256);
    return picture;
  });
  const QPoint middle(bar.Rect().left() + bar.Rect().width() / 2, bar.Rect().center().y());
  frame->OrvStatusBar()->OnMouseMove(middle);
  EXPECT_TRUE(frame->OrvStatusBar()->Popup().isVisible());
  ASSERT_EQ(shownAt.size(), 1u);
  EXPECT_NEAR(shownAt[0], 550, 10);            // the span holds the window length too
  frame->OrvStatusBar()->OnMouseMove(middle);  // the same point: ignored
  EXPECT_EQ(shownAt.size(), 1u);
  SaveUiArtifact(frame->OrvStatusBar()->Popup(), "navigation_popup");

  // A double click moves the position there; off the bar the pop-up goes.
  frame->OrvStatusBar()->OnLButtonDblClk(middle);
  EXPECT_NEAR(bar.Range().position, 550, 10);
  frame->OrvStatusBar()->OnMouseMove(QPoint(2, middle.y()));
  EXPECT_FALSE(frame->OrvStatusBar()->Popup().isVisible());
}

TEST(NavigationPopupDialog, HidesOnItsTimerOnceTheMouseHasLeftItAlone) {
  std::uint64_t now = 1000;
  CNavigationControllerDialog popup(nullptr, [&] { return now; });
  popup.ShowAt(10, QPoint(300, 300));
  EXPECT_TRUE(popup.isVisible());
  EXPECT_FALSE(popup.HasPicture());  // no source: the placeholder
  now += 400;
  popup.OnTimer();
  EXPECT_TRUE(popup.isVisible());
  now += 2000;
  popup.OnTimer();
  EXPECT_FALSE(popup.isVisible());
}

}  // namespace
}  // namespace ORV
