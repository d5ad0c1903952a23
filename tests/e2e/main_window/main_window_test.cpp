// The whole program's main window on the simulated lab, as a scientist
// meets it: at every window size from 1024 x 700 up and at the scales 1.0,
// 1.5 and 2.0 each pane lays out without clipping or overlap (checked from
// the widgets' geometry, with renders under artifacts/ui/ to look at); and
// the desktop's conventions: the first start takes the screen, the title
// names the experiment and shows that it changed, the standard keys run the
// file commands, save dialogs offer the experiment's title, and Quit asks
// before it ends the program.
//
// A scale s shows the window as a screen at s x 96 dots per inch does: the
// program's sizes and fonts scaled by s, the window s times the size in
// pixels.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/base/configuration.h"
#include "core/experiment/session.h"
#include "platform/com/control_loader.h"
#include "platform/os/event_log_backend.h"
#include "platform/os/registry_store.h"
#include "platform/ui/app_services.h"
#include "platform/ui/document_area.h"
#include "platform/ui/icon_button.h"
#include "platform/ui/message_box.h"
#include "platform/ui/ribbon_bar.h"
#include "shell/app/pelmora_app.h"
#include "shell/app/small_dialogs.h"
#include "shell/frame/app_frame_adapter.h"
#include "shell/frame/frame_cameras.h"
#include "shell/frame/main_frame.h"
#include "shell/frame/main_frame_commands.h"
#include "shell/program/program.h"
#include "shell/program_controls.h"
#include "tests/e2e/program_on_lab.h"
#include "tests/shell/app/app_test_fixture.h"
#include "tests/support/simulated_lab.h"
#include "tests/support/test_support.h"
#include "tests/support/ui/layout_check.h"
#include "tests/support/ui/ui_test_support.h"
#include "video/ui/camera_pane.h"
#include "views/ui/trace_view_window.h"

namespace ORV {
namespace {

using E2E::RunUntilIdle;

using E2E::kLimitMs;

std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& line : lines) all += "  " + line + "\n";
  return all;
}

int TraceViewCount(CMainFrame& frame) {
  int count = 0;
  for (UI::CChildFrame* child : frame.Documents()->Frames())
    if (child->frameKind == UI::CChildFrame::kTraceView && !child->IsClosed()) ++count;
  return count;
}

// The program on the lab with its two cameras live in their windows and one
// new trace window, which shows no trace yet.
class LabProgram {
 public:
  LabProgram() {
    setenv("ORV_SIMLAB", "1", 1);
    setenv("ORV_SIMLAB_CAMERAS", "2", 1);
    ORV::Test::ProcessLab();
    EXPECT_EQ(RegisterProgramControls(Com::ControlFactory(OS::RegistryStore::User(), {ORV_CONTROL_DIR})), Com::S_OK);
    Shell::AppOptions options;
    options.eventLog = &log_;
    program_ = std::make_unique<ORV::Program>(std::move(options));
    app_ = &program_->App();
  }
  ~LabProgram() {
    if (CMainFrame* frame = Frame(); frame && !frame->IsClosed()) frame->OnClose(false);
    app_->ExitInstance(0);
  }

  // Starts the program and waits until it has settled; false when it did
  // not come up.
  bool Start(bool liveCameras) {
    if (!app_->InitInstance()) return false;
    CMainFrame* frame = Frame();
    if (!frame || !ORV::Test::ProcessEventsUntil([frame] { return frame->StartupChainDone(); }, kLimitMs)) return false;
    if (!liveCameras) return true;
    auto* pane = dynamic_cast<Video::CCameraPane*>(frame->PaneOf(PaneKind::CameraPane));
    if (!pane) return false;
    for (int camera : {1, 0}) {
      if (!frame->AttachCameraPane(camera)) return false;
      pane->CaptureButton()->click();
    }
    return ORV::Test::ProcessEventsUntil(
        [frame] {
          for (CameraWindow* window : frame->CameraWindows()) {
            auto* wnd = dynamic_cast<FrameCameraWnd*>(window);
            if (!wnd || wnd->Model().VideoWidth() <= 0) return false;
          }
          return true;
        },
        kLimitMs);
  }
  CMainFrame* Frame() const { return dynamic_cast<CMainFrame*>(app_->MainWindow()); }
  ExperimentData& Experiment() { return program_->Experiment(); }

 private:
  OS::MemoryEventLogBackend log_;
  std::unique_ptr<ORV::Program> program_;
  Shell::CPelmoraApp* app_ = nullptr;
};

class MainWindowLayout : public ::testing::TestWithParam<int> {};

TEST_P(MainWindowLayout, EveryPaneFitsWithoutClippingOrOverlapAtEveryWindowSize) {
  const int dpi = GetParam();
  ORV::Test::AppSandbox sandbox;
  ORV::Test::ScopedDpi scaled(dpi);
  LabProgram program;
  ASSERT_TRUE(program.Start(true));
  CMainFrame& frame = *program.Frame();
  ASSERT_TRUE(frame.Router().Execute(Shell::ID_FILE_NEW));
  ASSERT_EQ(TraceViewCount(frame), 1);

  const struct {
    int width, height;
    bool rendered;
  } sizes[] = {{1024, 700, false}, {1066, 666, true}, {1280, 800, false}, {1600, 1000, true}, {2560, 1440, true}};
  for (const auto& size : sizes) {
    const std::string name =
        std::to_string(size.width) + "x" + std::to_string(size.height) + " at " + std::to_string(dpi) + " dpi";
    ORV::Test::LayOut(frame, QSize(size.width, size.height) * dpi / 96);
    EXPECT_EQ(Joined(ORV::Test::MainWindowLayoutProblems(frame)), "") << name;
    // In the narrowest window every tab of the ribbon, not only the open
    // one, is shown whole or scrolls to its right end.
    if (size.width == 1024) {
      UI::RibbonBar& ribbon = *frame.Ribbon();
      const int open = ribbon.ActiveTab();
      for (int tab = 0; tab < ribbon.TabCount(); ++tab) {
        ribbon.SetActiveTab(tab);
        ORV::Test::LayOut(frame, QSize(size.width, size.height) * dpi / 96);
        EXPECT_EQ(Joined(ORV::Test::MainWindowLayoutProblems(frame)), "") << name << ", ribbon tab " << tab;
      }
      ribbon.SetActiveTab(open);
    }
    if (size.rendered && dpi <= 144) {
      const std::string scale = dpi == 96 ? "1.0" : "1.5";
      ORV::Test::SaveUiArtifact(
          frame, "main_window_" + std::to_string(size.width) + "x" + std::to_string(size.height) + "_scale_" + scale);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Scales, MainWindowLayout, ::testing::Values(96, 144, 192),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "dpi"; });

TEST(MainWindowConventions, FirstStartTitleKeysSaveDialogsAndQuit) {
  ORV::Test::AppSandbox sandbox;
  ORV::Test::TempDir work;
  UI::ScriptedMessageBoxes boxes;
  UI::ScriptedFileDialogs dialogs;
  {
    LabProgram program;
    ASSERT_TRUE(program.Start(false));
    CMainFrame& frame = *program.Frame();
    // ---- the first start: the screen's available area, maximised on a
    // screen smaller than the layout asks for ----
    EXPECT_FALSE(frame.LayoutRestored());
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize needed = frame.sizeHint();
    const bool small = screen.width() < needed.width() || screen.height() < needed.height();
    EXPECT_EQ(frame.isMaximized(), small);
    if (!small) {
      EXPECT_EQ(frame.geometry(), screen);
    }

    // ---- the title, the standard keys, the save dialogs ----
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    RunUntilIdle();
    EXPECT_EQ(frame.windowHandle()->title(), QStringLiteral("Untitled - Tarvix 5"));
    // Each file command's key, pressed where the focus happens to be.
    const auto press = [&frame](UI::CommandId id) {
      // The window is active again after a dialog (the desktop's window
      // manager sees to that; here the test does), and the commands' states
      // follow what changed, as between any two key presses.
      frame.activateWindow();
      ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
      RunUntilIdle();
      const QKeySequence key = frame.Ribbon()->ShortcutOf(id);
      ASSERT_FALSE(key.isEmpty()) << id;
      QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : &frame;
      QTest::keySequence(focus, key);
    };
    press(Shell::ID_FILE_NEW);
    EXPECT_EQ(TraceViewCount(frame), 1) << "the key opens a trace window";

    ExperimentData& experiment = program.Experiment();
    experiment.modified = true;
    RunUntilIdle();
    EXPECT_EQ(frame.windowHandle()->title(), QStringLiteral("Untitled* - Tarvix 5"));

    // Save As asks for the experiment's details, then offers its title as
    // the file's name.
    int details = 0;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&details] {
      if (auto* dialog = dynamic_cast<Shell::CExperimentDialog*>(QApplication::activeModalWidget())) {
        ++details;
        dialog->Title()->setText(QStringLiteral("Mesenteric artery 3"));
        dialog->SaveButton()->click();
      }
    });
    answer.start(20);
    const std::string saved = work / "artery";
    dialogs.Answer(saved);
    press(FrameCommand::kFileSaveAs);
    ASSERT_EQ(details, 1);
    ASSERT_EQ(dialogs.Asked().size(), 1u);
    EXPECT_TRUE(dialogs.Asked()[0].save);
    EXPECT_EQ(dialogs.Asked()[0].fileName, "Mesenteric artery 3.tvx");
    ASSERT_TRUE(std::filesystem::exists(saved + ".tvx"));
    RunUntilIdle();
    EXPECT_EQ(frame.windowHandle()->title(), QStringLiteral("artery - Tarvix 5")) << "saved: no mark";

    // Open reads it back; changed, Save writes it where it is.
    dialogs.Answer(saved + ".tvx");
    press(Shell::ID_FILE_OPEN);
    ASSERT_EQ(dialogs.Asked().size(), 2u);
    EXPECT_FALSE(dialogs.Asked()[1].save);
    ASSERT_EQ(experiment.mode.load(), kModeFile) << "opened";
    const auto written = std::filesystem::last_write_time(saved + ".tvx");
    experiment.modified = true;
    press(Shell::ID_FILE_SAVE);
    EXPECT_EQ(dialogs.Asked().size(), 2u) << "saved where it is, without asking";
    EXPECT_FALSE(experiment.modified.load());
    EXPECT_GE(std::filesystem::last_write_time(saved + ".tvx"), written);

    // ---- Quit: the main menu's item and its key; Cancel keeps all ----
    bool listed = false;
    for (QAction* action : frame.Ribbon()->ApplicationMenu()->actions())
      if (action->text().startsWith(QStringLiteral("&Quit"))) listed = true;
    EXPECT_TRUE(listed) << "the main menu has Quit";
    experiment.modified = true;
    boxes.Answer(UI::IDCANCEL);
    press(ID_APP_EXIT);
    EXPECT_FALSE(frame.IsClosed());
    EXPECT_TRUE(frame.isVisible());
    EXPECT_TRUE(experiment.modified.load());
    boxes.Answer(UI::IDNO);
    frame.showNormal();
    frame.setGeometry(40, 60, 1300, 900);
    press(ID_APP_EXIT);
    EXPECT_TRUE(frame.IsClosed());
    ASSERT_EQ(boxes.Shown().size(), 2u);
    EXPECT_EQ(boxes.Shown()[0].type, UI::MB_YESNOCANCEL | UI::MB_ICONQUESTION);
  }
  // ---- the next start keeps the layout and the window the user left,
  // on the same small screen ----
  LabProgram again;
  ASSERT_TRUE(again.Start(false));
  EXPECT_TRUE(again.Frame()->LayoutRestored());
  EXPECT_FALSE(again.Frame()->isMaximized());
}

}  // namespace
}  // namespace ORV
