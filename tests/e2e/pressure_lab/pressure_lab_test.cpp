// The whole program on the simulated lab as a pressure chamber system
// (ORV_SIMLAB_LAB=pressure: no heat controller, a multi interface that keeps
// its own clock), offscreen: the application object brings up the real main
// frame, which is then a pressure chamber system with the sequencer pane and
// its progress in the status bar, and shows the unit's clock as the
// instrument time. A two-task sequence entered in the pane's task dialog
// runs: the lab's pressures follow each task, the progress advances, and the
// close asks about the changed sequence.
//
// Nothing here measures time: every wait is bounded by a state, with
// generous limits for a loaded machine.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <cctype>
#include <cstdlib>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "core/experiment/session.h"
#include "instruments/ui/sequencer_pane.h"
#include "instruments/ui/task_dialog.h"
#include "platform/sim/sim_lab.h"
#include "platform/ui/app_services.h"
#include "platform/ui/icon_button.h"
#include "platform/ui/message_box.h"
#include "platform/ui/ribbon_status_bar.h"
#include "platform/ui/string_table.h"
#include "shell/frame/main_frame.h"
#include "shell/frame/status_elements.h"
#include "tests/e2e/program_on_lab.h"
#include "tests/support/simulated_lab.h"
#include "tests/support/test_support.h"
#include "tests/support/ui/ui_test_support.h"

namespace ORV {
namespace {

using E2E::WaitFor;

// "h:m:s  |", as the status bar shows a clock's time.
bool IsClockText(const std::string& text) {
  int fields = 1;
  bool digit = false;
  std::size_t i = 0;
  for (; i < text.size() && (std::isdigit(static_cast<unsigned char>(text[i])) || text[i] == ':'); ++i) {
    if (text[i] == ':') {
      if (!digit) return false;
      ++fields;
      digit = false;
    } else {
      digit = true;
    }
  }
  return fields == 3 && digit && text.find('|', i) != std::string::npos;
}

// The program on the pressure chamber lab with one camera.
class PressureLab {
 public:
  explicit PressureLab(QSize size = QSize(1500, 940)) {
    setenv("ORV_SIMLAB_LAB", "pressure", 1);
    started_ = lab.Start();
    if (started_) lab.frame->resize(size);
  }
  ~PressureLab() {
    if (!started_) return;
    if (!lab.frame->IsClosed()) lab.frame->OnClose(false);
    lab.app->ExitInstance(0);
  }
  bool Started() const { return started_; }
  CMainFrame& Frame() { return *lab.frame; }
  SequencerWnd* Pane() { return dynamic_cast<SequencerWnd*>(Frame().PaneOf(PaneKind::Sequencer)); }
  static Sim::SimLab& Lab() { return ORV::Test::ProcessLab(); }

  E2E::ProgramOnLab lab{1};

 private:
  bool started_ = false;
};

void SetText(CTaskDialog& dialog, int id, const QString& text) {
  auto* edit = dynamic_cast<QLineEdit*>(dialog.Control(id));
  ASSERT_NE(edit, nullptr) << id;
  edit->setText(text);
}

TEST(PressureLab, RunsATwoTaskSequenceWhosePressuresTheLabFollowsAndAsksToSaveItAtTheClose) {
  PressureLab program;
  UI::ScriptedMessageBoxes& boxes = program.lab.boxes;
  ASSERT_TRUE(program.Started());
  CMainFrame& frame = program.Frame();
  ASSERT_EQ(ORV::Test::ProcessLab().System(), Sim::LabSystem::kPressure);

  // ---- a pressure chamber system: the sequencer pane and its progress ----
  EXPECT_EQ(frame.ProductType(), kPressureChamber);
  EXPECT_EQ(frame.HeatControllerBar(), nullptr);
  SequencerWnd* pane = program.Pane();
  ASSERT_NE(pane, nullptr);
  ASSERT_NE(frame.SequencerProgress(), nullptr);
  ASSERT_TRUE(WaitFor([&] { return frame.StartupChainDone(); }));
  EXPECT_TRUE(pane->isVisible());
  UI::StatusBarElement* progressElement = frame.StatusBar()->FindElement(CORVRibbonProgressBar::kId);
  ASSERT_NE(progressElement, nullptr);
  EXPECT_TRUE(progressElement->IsVisible());

  // ---- the unit's own clock is the status bar's instrument time ----
  UI::StatusBarElement* instrumentTime = frame.StatusBar()->FindLabelled("Instrument time");
  ASSERT_NE(instrumentTime, nullptr);
  EXPECT_TRUE(WaitFor([&] { return IsClockText(instrumentTime->Text()); }))
      << "shows '" << instrumentTime->Text() << "'";

  // ---- two tasks entered in the task dialog ----
  struct Entry {
    const char* name;
    int seconds, p1, p2;
  };
  const Entry entries[] = {{"Raise", 6, 80, 60}, {"Lower", 6, 40, 20}};
  for (const Entry& entry : entries) {
    pane->runTaskDialog = [&entry](CTaskDialog& dialog) {
      return ORV::Test::RunModal(dialog, [&] {
        SetText(dialog, CTaskDialog::kDescription, QString::fromUtf8(entry.name));
        SetText(dialog, CTaskDialog::kDuration, QString::number(entry.seconds));
        SetText(dialog, CTaskDialog::kP1, QString::number(entry.p1));
        SetText(dialog, CTaskDialog::kP2, QString::number(entry.p2));
        auto* ok = dynamic_cast<QAbstractButton*>(dialog.Control(CTaskDialog::kOk));
        ASSERT_NE(ok, nullptr);
        ok->click();
      });
    };
    pane->OnCommand(SequencerPaneLogic::kAddTask);
  }
  ASSERT_EQ(pane->Logic().TaskCount(), 2);
  ASSERT_EQ(pane->Logic().RowTexts(1).front(), QStringLiteral("Lower"));

  // ---- the run: the progress advances, the lab follows each task ----
  const std::shared_ptr<Sim::Preparation> preparation = PressureLab::Lab().GetPreparation();
  pane->Button(SequencerWnd::kStartStopButton)->click();
  ASSERT_TRUE(pane->Logic().Running());
  CORVRibbonProgressBar& progress = *frame.SequencerProgress();
  std::vector<std::pair<int, int>> seen;  // (task, percent) in the order shown
  const auto note = [&] {
    const SequencerProgressState state = progress.State();
    if (state.running && (seen.empty() || seen.back() != std::make_pair(state.taskIndex, state.percent)))
      seen.emplace_back(state.taskIndex, state.percent);
    return state;
  };
  for (int task = 0; task < 2; ++task) {
    SCOPED_TRACE(entries[task].name);
    ASSERT_TRUE(WaitFor([&] { return note().taskIndex == task && note().running; }));
    EXPECT_EQ(progress.State().text, entries[task].name);
    EXPECT_DOUBLE_EQ(preparation->Controls().targetP1, entries[task].p1);
    EXPECT_DOUBLE_EQ(preparation->Controls().targetP2, entries[task].p2);
    // The measured pressure moves to the task's target while it runs.
    const double towards = task == 0 ? 70.0 : 55.0;
    EXPECT_TRUE(WaitFor([&] {
      note();
      const double p1 = preparation->Read().p1;
      return task == 0 ? p1 > towards : p1 < towards;
    })) << "P1 "
        << preparation->Read().p1;
  }
  ASSERT_TRUE(WaitFor([&] {
    note();
    return !pane->Logic().Running();
  }));
  EXPECT_EQ(progress.State().text, "Sequencer ended");
  EXPECT_EQ(progress.State().percent, 100);
  // Each task's share grew while it ran, and the second followed the first.
  ASSERT_GE(seen.size(), 4u);
  for (std::size_t i = 1; i < seen.size(); ++i) EXPECT_LT(seen[i - 1], seen[i]) << "step " << i;
  EXPECT_EQ(seen.front().first, 0);
  EXPECT_EQ(seen.back().first, 1);
  ORV::Test::SaveUiArtifact(*pane, "program_sequencer_pane_96");

  // ---- the close asks about the changed sequence, then about the
  // experiment the tasks' markers changed; No to both ----
  const std::size_t before = boxes.Shown().size();
  boxes.Answer(UI::IDNO);
  boxes.Answer(UI::IDNO);
  EXPECT_TRUE(frame.OnClose());
  ASSERT_GE(boxes.Shown().size(), before + 1);
  EXPECT_EQ(boxes.Shown()[before].text.toStdString(), "Current sequence has been changed. Save ?");
  EXPECT_EQ(boxes.Unscripted(), 0);
}

// The same panes at 144 DPI: the sequencer pane, with two tasks, the frame
// and its status bar, rendered for a look.
TEST(PressureLab, ShowsTheSequencerPaneAndItsProgressAt144Dpi) {
  ORV::Test::ScopedDpi dpi(144);
  PressureLab program(QSize(2200, 1400));
  ASSERT_TRUE(program.Started());
  CMainFrame& frame = program.Frame();
  ASSERT_TRUE(WaitFor([&] { return frame.StartupChainDone(); }));
  SequencerWnd* pane = program.Pane();
  ASSERT_NE(pane, nullptr);
  for (const char* name : {"Rest at 60 mmHg", "Dilate"}) {
    SequencerTask task;
    task.name = name;
    task.duration = 60;
    task.p1 = 60;
    task.p2 = 40;
    pane->Logic().AddTask(task);
  }
  pane->FillList();
  pane->UpdateButtons();
  ORV::Test::ProcessEventsUntil([] { return false; }, 300);
  ORV::Test::SaveUiArtifact(*pane, "program_sequencer_pane_144");
  ORV::Test::SaveUiArtifact(*frame.StatusBar(), "program_status_bar_pressure_144");
  ORV::Test::SaveUiArtifact(frame, "program_pressure_lab_144");
}

}  // namespace
}  // namespace ORV
