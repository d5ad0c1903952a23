// The sequencer pane, its logic and the task dialog, on a sequencer whose
// clock the test moves and whose instruments are the simulators.
#include "instruments/ui/sequencer_pane.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "instruments/ui/task_dialog.h"
#include "platform/ui/app_services.h"
#include "platform/ui/icon_button.h"
#include "platform/ui/message_box.h"
#include "tests/instruments/sequencer/sequencer_fixture.h"
#include "tests/support/test_world.h"
#include "tests/support/ui/ui_test_support.h"

namespace {

using ORV::SequencerPaneLogic;
using ORV::SequencerTask;
using ORV::TaskDialogLogic;
using ORV::Test::Task;
using Column = SequencerPaneLogic::Column;

struct Zones : ORV::SequencerZones {
  int count = 1;
  int ZoneCount() const override { return count; }
};

class SequencerPaneTest : public ORV::Test::SequencerTest {
 protected:
  ~SequencerPaneTest() override { ORV::Test::SharedConfiguration().LastUsedSequenceFilePath = savedFolder_; }
  const std::string savedFolder_ = ORV::Test::SharedConfiguration().LastUsedSequenceFilePath;

  std::unique_ptr<SequencerPaneLogic> MakeLogic(ORV::InterfaceManager* devices) {
    return std::make_unique<SequencerPaneLogic>(sequencer(), session_->Experiment(), devices,
                                                ORV::Test::SharedConfiguration());
  }
  ORV::InstrumentPaneContext Context() {
    return {session_->Experiment(), ORV::Test::SharedConfiguration(), manager_.get(), sequencer_.get()};
  }
  static SequencerTask Dilate() {
    SequencerTask t = Task("Dilate", 30);
    t.p1 = 60;
    t.p2 = 40;
    t.temperature = 37;
    t.waitP1 = 1;
    t.waitTemperature = 1;
    return t;
  }
};

TEST_F(SequencerPaneTest, ColumnsFollowTheModelAndTheirWidthsThePaneWidth) {
  auto none = MakeLogic(nullptr);
  EXPECT_EQ(none->Columns(), (std::vector<Column>{Column::Task, Column::Time, Column::P1, Column::Temperature,
                                                  Column::Wait, Column::Prompt}));
  auto standard = MakeLogic(manager_.get());
  EXPECT_TRUE(standard->P2Column());
  EXPECT_FALSE(standard->PulseColumn());

  ORV::Sim::MultiInterfaceUnit::State fast;  // the unit that pulses
  ConnectMulti(fast);
  auto logic = MakeLogic(manager_.get());
  ASSERT_EQ(logic->Columns(), (std::vector<Column>{Column::Task, Column::Time, Column::P1, Column::P2,
                                                   Column::Temperature, Column::Pulse, Column::Wait, Column::Prompt}));
  EXPECT_EQ(SequencerPaneLogic::Title(Column::Temperature), QStringLiteral("Temp."));
  const struct {
    int v;  // pane width + 121
    std::vector<int> widths;
  } cases[] = {
      {300, {220, 0, 0, 0, 0, 0, 80, 0}},         {360, {250, 0, 0, 0, 0, 0, 110, 0}},
      {400, {197, 0, 0, 0, 0, 0, 57, 147}},       {600, {197, 50, 50, 50, 50, 50, 57, 147}},
      {900, {296, 50, 50, 50, 50, 50, 156, 246}}, {100, {120, 0, 0, 0, 0, 0, 0, 0}},  // too narrow for the wait column
  };
  for (const auto& c : cases) EXPECT_EQ(logic->ColumnWidths(c.v - 121), c.widths) << c.v;
  // The value columns go below a width of 440, the prompt below 240.
  EXPECT_EQ(logic->ColumnWidths(439)[1], 0);
  EXPECT_EQ(logic->ColumnWidths(440)[1], 50);
  EXPECT_EQ(logic->ColumnWidths(239)[7], 0);
  EXPECT_GT(logic->ColumnWidths(240)[7], 0);
}

TEST_F(SequencerPaneTest, TheSinglePressureUnitHasNoP2Column) {
  ORV::Sim::MultiInterfaceUnit::State single;
  single.modelByte = 9;
  ConnectMulti(single);
  EXPECT_FALSE(MakeLogic(manager_.get())->P2Column());
  EXPECT_FALSE(MakeLogic(manager_.get())->PulseColumn());
}

TEST_F(SequencerPaneTest, RowsShowEachTasksValues) {
  ORV::Sim::MultiInterfaceUnit::State fast;
  ConnectMulti(fast);
  auto logic = MakeLogic(manager_.get());
  SequencerTask wash = Task("Wash");
  wash.promptUser = 1;
  wash.prompt = "Add drug";
  wash.pulsation = 1;
  wash.pulseRate = 120;
  SequencerTask hidden = Task("Hidden prompt", 0);
  hidden.prompt = "not shown";
  hidden.waitP2 = 1;
  sequencer().tasks = {Dilate(), wash, hidden};
  EXPECT_EQ(logic->RowTexts(0), (QStringList{"Dilate", "30", "60", "40", "37", "", "P1, Temp.", "No"}));
  EXPECT_EQ(logic->RowTexts(1), (QStringList{"Wash", "Infinite", "", "", "", "120", "No", "Add drug"}));
  EXPECT_EQ(logic->RowTexts(2), (QStringList{"Hidden prompt", "0", "", "", "", "", "P2", "No"}));
}

TEST_F(SequencerPaneTest, EditingMarksTheSequenceChangedButClearingAndChecksDoNot) {
  auto logic = MakeLogic(manager_.get());
  // The first task starts at the heater's target.
  SetSample([](ORV::PMK4xData3& s) { s.temperatureTarget = 37.0f; });
  SequencerTask first = logic->NewTask();
  EXPECT_EQ(first.temperature, 37);
  EXPECT_EQ(first.p1, -1);
  EXPECT_EQ(first.duration, -1);
  EXPECT_EQ(first.pulseRate, 200);
  first.name = "First";
  first.enabled = 0;

  const struct {
    const char* what;
    std::function<void()> change;
    bool modifies;
  } steps[] = {
      {"add", [&] { logic->AddTask(first); }, true},
      {"uncheck", [&] { logic->SetTaskEnabled(0, false); }, false},
      {"edit", [&] { logic->ReplaceTask(0, Dilate()); }, true},
      {"add another", [&] { logic->AddTask(Task("Second")); }, true},
      {"delete", [&] { logic->DeleteTask(1); }, true},
      {"delete past the end", [&] { logic->DeleteTask(5); }, false},
      {"clear", [&] { logic->ClearSequence(); }, false},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.what);
    sequencer().sequenceModified = 0;
    s.change();
    EXPECT_EQ(sequencer().sequenceModified, s.modifies ? 1 : 0);
    if (std::string(s.what) == "add") {
      EXPECT_EQ(sequencer().tasks.at(0).enabled, 1) << "added enabled";
    }
    if (std::string(s.what) == "edit") {
      EXPECT_EQ(sequencer().tasks.at(0).name, "Dilate");
      EXPECT_EQ(sequencer().tasks.at(0).enabled, 0) << "editing keeps the check";
    }
  }
  EXPECT_EQ(logic->TaskCount(), 0);

  // Later tasks start from the last one.
  sequencer().tasks = {Dilate()};
  const SequencerTask next = logic->NewTask();
  EXPECT_EQ(next.p1, 60);
  EXPECT_EQ(next.p2, 40);
  EXPECT_EQ(next.duration, 30);
  EXPECT_EQ(next.name, "");
  EXPECT_EQ(next.waitP1, 0);
}

TEST_F(SequencerPaneTest, SavePathsAndTheMenuFollowTheirRules) {
  EXPECT_EQ(SequencerPaneLogic::SequencePath("/data/run"), "/data/run.seq");
  EXPECT_EQ(SequencerPaneLogic::SequencePath("/data.seq/run"), "/data.seq/run");
  EXPECT_EQ(SequencerPaneLogic::SequencePath("/data/run.Seq"), "/data/run.Seq");

  auto logic = MakeLogic(manager_.get());
  sequencer().tasks = {Dilate()};
  const std::string folder = dir_.path() + "/";
  ASSERT_TRUE(logic->Save(dir_.path() + "/run"));
  EXPECT_TRUE(std::filesystem::exists(dir_.path() + "/run.seq"));
  EXPECT_EQ(ORV::Test::SharedConfiguration().LastUsedSequenceFilePath, folder);
  EXPECT_EQ(ORV::Test::SharedConfiguration().LastOpenedSequenceFile, folder + "run.seq");
  EXPECT_EQ(logic->InitialFolder(), folder);
  EXPECT_FALSE(logic->Save(dir_.path() + "/missing/run"));
  EXPECT_EQ(ORV::Test::SharedConfiguration().LastOpenedSequenceFile, folder + "run.seq");

  // The menu: none without the camera window.
  EXPECT_TRUE(logic->Menu(0, nullptr).empty());
  Zones zones;
  const auto enabled = [&](int selected, int id) {
    for (const auto& item : logic->Menu(selected, &zones))
      if (item.id == id) return item.enabled;
    ADD_FAILURE() << "no item " << id;
    return false;
  };
  using L = SequencerPaneLogic;
  EXPECT_TRUE(enabled(-1, L::kAddTask));
  EXPECT_FALSE(enabled(-1, L::kEditTask));
  EXPECT_TRUE(enabled(0, L::kEditTask));
  EXPECT_FALSE(enabled(1, L::kDeleteTask)) << "no task there";
  EXPECT_FALSE(enabled(0, L::kStartStop)) << "no interface";
  ORV::Sim::SingleInterfaceSim sim;
  ConnectSingle(sim);
  EXPECT_TRUE(enabled(0, L::kStartStop));
  zones.count = 0;
  EXPECT_FALSE(enabled(0, L::kStartStop)) << "nothing to measure";
  zones.count = 1;
  sequencer().running = 1;
  for (int id : {L::kAddTask, L::kEditTask, L::kDeleteTask, L::kLoadSequence, L::kClearSequence})
    EXPECT_FALSE(enabled(0, id)) << id;
  EXPECT_TRUE(enabled(0, L::kSaveSequence));
  EXPECT_EQ(logic->Menu(0, &zones)[7].text, QStringLiteral("Stop Sequence"));
  sequencer().running = 0;
  sequencer().loop = 1;
  EXPECT_TRUE(logic->Menu(0, &zones)[8].checked);
  sequencer().tasks.clear();
  for (int id : {L::kSaveSequence, L::kClearSequence, L::kStartStop, L::kToggleLoop})
    EXPECT_FALSE(enabled(-1, id)) << id;
}

TEST_F(SequencerPaneTest, TaskDialogChecksP2AgainstP1AndReadsEmptyFieldsAsNone) {
  SequencerTask start = Dilate();
  start.pulseRate = 200;
  const struct {
    const char *p1, *p2;
    bool accepted;
    std::int32_t p1Stored, p2Stored;
  } cases[] = {
      {"60", "80", false, 0, 0},
      {"", "10", false, 0, 0},
      {"80", "", true, 80, -1},
      {"60", "60", true, 60, 60},
      {"99999999999", "5", true, 2147483647, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.p1) + " / " + c.p2);
    TaskDialogLogic logic(start, true, true, false);
    TaskDialogLogic::Fields f = logic.Initial();
    f.p1 = QString::fromLatin1(c.p1);
    f.p2 = QString::fromLatin1(c.p2);
    EXPECT_EQ(logic.Accept(f) == TaskDialogLogic::Outcome::Accepted, c.accepted);
    if (!c.accepted) {
      EXPECT_EQ(logic.Task(), start);
      continue;
    }
    EXPECT_EQ(logic.Task().p1, c.p1Stored);
    EXPECT_EQ(logic.Task().p2, c.p2Stored);
  }

  TaskDialogLogic logic(start, true, true, false);
  TaskDialogLogic::Fields f = logic.Initial();
  EXPECT_EQ(f.duration, QStringLiteral("30"));
  EXPECT_EQ(f.pulseRate, QStringLiteral("200"));
  EXPECT_TRUE(f.waitP1);
  f.duration.clear();
  f.temperature.clear();
  f.pulseRate = QStringLiteral("700");
  f.description = QStringLiteral("Renamed");
  ASSERT_EQ(logic.Accept(f), TaskDialogLogic::Outcome::Accepted);
  EXPECT_EQ(logic.Task().duration, -1);
  EXPECT_EQ(logic.Task().temperature, -1);
  EXPECT_EQ(logic.Task().pulseRate, 700);
  EXPECT_EQ(logic.Task().name, "Renamed");
  // A pulse rate outside 40..600 is kept but not shown again.
  EXPECT_EQ(TaskDialogLogic(logic.Task(), true, true, true).Initial().pulseRate, QString());
  EXPECT_FALSE(TaskDialogLogic::OkEnabled(QString()));
  EXPECT_TRUE(TaskDialogLogic::OkEnabled(QStringLiteral("x")));

  // Without the P2 row there is no P2.
  TaskDialogLogic noP2(start, false, false, false);
  f = noP2.Initial();
  EXPECT_EQ(f.p2, QString());
  f.p1 = QStringLiteral("20");
  f.p2 = QStringLiteral("30");
  ASSERT_EQ(noP2.Accept(f), TaskDialogLogic::Outcome::Accepted);
  EXPECT_EQ(noP2.Task().p2, -1);
}

TEST_F(SequencerPaneTest, TaskDialogStaysOpenOnP2AboveP1AndShrinksWithoutItsRows) {
  for (const int dpi : {96, 144}) {
    ORV::Test::ScopedDpi scaled(dpi);
    for (const bool full : {true, false}) {
      SCOPED_TRACE(std::to_string(dpi) + (full ? " full" : " without P2 and pulsation"));
      CTaskDialog dialog(nullptr, Dilate(), full, full, false);
      ORV::UI::ScriptedMessageBoxes boxes;
      const auto edit = [&](int id) { return static_cast<QLineEdit*>(dialog.Control(id)); };
      const int result = ORV::Test::RunModal(dialog, [&] {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Add task"));
        EXPECT_EQ(edit(CTaskDialog::kP1)->text(), QStringLiteral("60"));
        EXPECT_EQ(dialog.Control(CTaskDialog::kP2)->isVisible(), full);
        EXPECT_EQ(dialog.Control(CTaskDialog::kPulseRate)->isVisible(), full);
        EXPECT_EQ(dialog.Control(CTaskDialog::kPrompt)->isEnabled(), false);
        if (!full) {
          // The temperature row stands where the P2 row was.
          EXPECT_LT(dialog.Control(CTaskDialog::kTemperature)->y(), dialog.MapDialogRect(0, 93, 1, 1).y() + 2);
        }
        ORV::Test::SaveUiArtifact(dialog,
                                  std::string("task_dialog_") + (full ? "full_" : "short_") + std::to_string(dpi));
        edit(CTaskDialog::kDescription)->clear();
        EXPECT_FALSE(dialog.Control(CTaskDialog::kOk)->isEnabled());
        edit(CTaskDialog::kDescription)->setText(QStringLiteral("Constrict"));
        EXPECT_TRUE(dialog.Control(CTaskDialog::kOk)->isEnabled());
        static_cast<QCheckBox*>(dialog.Control(CTaskDialog::kPromptUser))->setChecked(true);
        EXPECT_TRUE(dialog.Control(CTaskDialog::kPrompt)->isEnabled());
        static_cast<QPlainTextEdit*>(dialog.Control(CTaskDialog::kPrompt))->setPlainText(QStringLiteral("Go on?"));
        if (full) {
          edit(CTaskDialog::kP2)->setText(QStringLiteral("80"));
          static_cast<QPushButton*>(dialog.Control(CTaskDialog::kOk))->click();
          ASSERT_EQ(boxes.Shown().size(), 1u);
          EXPECT_EQ(boxes.Shown()[0].text, QStringLiteral("P2 must not be a larger value than P1"));
          EXPECT_EQ(boxes.Shown()[0].caption, QStringLiteral("Entered value is out of range"));
          EXPECT_TRUE(dialog.isVisible());
          edit(CTaskDialog::kP2)->setText(QStringLiteral("20"));
        }
        static_cast<QPushButton*>(dialog.Control(CTaskDialog::kOk))->click();
      });
      EXPECT_EQ(result, ORV::UI::IDOK);
      EXPECT_EQ(dialog.Task().name, "Constrict");
      EXPECT_EQ(dialog.Task().prompt, "Go on?");
      EXPECT_EQ(dialog.Task().promptUser, 1);
      EXPECT_EQ(dialog.Task().p2, full ? 20 : -1);
    }
  }
}

TEST_F(SequencerPaneTest, APaneBuildsRunsAndShowsASequenceOnTheSingleInterface) {
  ORV::Sim::SingleInterfaceSim sim;
  const std::size_t before = ConnectSingle(sim);
  // The pauses between commands take no time here, so each tick is one second of a task.
  sequencer().SetSleeper([](std::uint32_t) {});
  SetSample([](ORV::PMK4xData3& s) { s.switch1 = s.switch4 = 1; });
  SequencerWnd pane(Context(), QStringLiteral("Sequencer"));
  ASSERT_EQ(pane.Create(), 0);
  EXPECT_EQ(pane.objectName(), QStringLiteral("SequencerPane"));
  Zones zones;
  pane.SetCameraWindow(&zones);
  pane.resize(600, 220);
  pane.Client()->resize(600, 200);

  // Three tasks through the task dialog.
  const struct {
    const char *name, *duration, *p1, *p2;
  } typed[] = {{"Equilibrate", "2", "60", "40"}, {"Dilate", "3", "80", "60"}, {"Wash", "", "60", "40"}};
  int n = 0;
  pane.runTaskDialog = [&](CTaskDialog& dialog) {
    return ORV::Test::RunModal(dialog, [&] {
      const auto edit = [&](int id) { return static_cast<QLineEdit*>(dialog.Control(id)); };
      edit(CTaskDialog::kDescription)->setText(QString::fromLatin1(typed[n].name));
      edit(CTaskDialog::kDuration)->setText(QString::fromLatin1(typed[n].duration));
      edit(CTaskDialog::kP1)->setText(QString::fromLatin1(typed[n].p1));
      edit(CTaskDialog::kP2)->setText(QString::fromLatin1(typed[n].p2));
      ++n;
      static_cast<QPushButton*>(dialog.Control(CTaskDialog::kOk))->click();
    });
  };
  for (int i = 0; i < 3; ++i) pane.OnCommand(SequencerPaneLogic::kAddTask);
  ASSERT_EQ(pane.List()->topLevelItemCount(), 3);
  EXPECT_EQ(pane.List()->topLevelItem(2)->text(1), QStringLiteral("Infinite"));
  EXPECT_EQ(sequencer().sequenceModified, 1);
  // A check box is the task's enabled flag.
  pane.List()->topLevelItem(2)->setCheckState(0, Qt::Unchecked);
  EXPECT_EQ(sequencer().tasks[2].enabled, 0);
  pane.List()->topLevelItem(2)->setCheckState(0, Qt::Checked);
  EXPECT_EQ(sequencer().tasks[2].enabled, 1);
  EXPECT_EQ(pane.Button(SequencerWnd::kStartStopButton)->text(), QStringLiteral("Start"));
  EXPECT_FALSE(pane.Button(SequencerWnd::kPauseButton)->isEnabled());

  // Start: the first task's targets reach the unit, the pane shows it running.
  pane.OnCommand(SequencerPaneLogic::kStartStop);
  const std::vector<std::string> requests = sim.Requests();
  EXPECT_EQ(std::vector<std::string>(requests.begin() + static_cast<std::ptrdiff_t>(before), requests.end()),
            (std::vector<std::string>{"=012060", "=012140"}));
  EXPECT_EQ(pane.Button(SequencerWnd::kStartStopButton)->text(), QStringLiteral("Stop"));
  EXPECT_TRUE(pane.Button(SequencerWnd::kPauseButton)->isEnabled());
  EXPECT_EQ(pane.Logic().RunningTask(), 0);
  EXPECT_EQ(pane.Logic().ProgressText(), QStringLiteral("Task 1 of 3: Equilibrate"));
  EXPECT_TRUE(pane.List()->topLevelItem(0)->font(0).bold());
  EXPECT_FALSE(pane.List()->topLevelItem(1)->font(0).bold());

  // Ticks advance it; the progress is the status element's.
  EXPECT_FALSE(TickAfter(1000));
  pane.UpdateButtons();
  EXPECT_EQ(pane.Logic().ProgressPercent(), bar_.position);
  EXPECT_GT(pane.Logic().ProgressPercent(), 0);
  EXPECT_FALSE(TickAfter(1000));
  pane.UpdateButtons();
  EXPECT_EQ(pane.Logic().ProgressText(), QStringLiteral("Task 2 of 3: Dilate"));
  EXPECT_TRUE(pane.List()->topLevelItem(1)->font(0).bold());
  EXPECT_EQ(sim.GetState().targetP1, 80);
  EXPECT_FALSE(TickAfter(1000));
  pane.UpdateButtons();
  for (const int dpi : {96, 144}) {
    ORV::Test::ScopedDpi scaled(dpi);
    SequencerWnd shown(Context(), QStringLiteral("Sequencer"));
    ASSERT_EQ(shown.Create(), 0);
    shown.resize(dpi * 600 / 96, dpi * 220 / 96);
    shown.Client()->resize(dpi * 600 / 96, dpi * 200 / 96);
    QCoreApplication::processEvents();
    EXPECT_EQ(shown.List()->topLevelItemCount(), 3);
    ORV::Test::SaveUiArtifact(*shown.Client(), "sequencer_pane_" + std::to_string(dpi));
  }

  // Pause and continue; stop sends nothing.
  static_cast<QPushButton*>(pane.Button(SequencerWnd::kPauseButton))->click();
  EXPECT_EQ(pane.Button(SequencerWnd::kPauseButton)->text(), QStringLiteral("Continue"));
  EXPECT_EQ(sequencer().paused, 1);
  static_cast<QPushButton*>(pane.Button(SequencerWnd::kPauseButton))->click();
  EXPECT_EQ(sequencer().paused, 0);
  const std::size_t sent = sim.Requests().size();
  pane.OnCommand(SequencerPaneLogic::kStartStop);
  EXPECT_EQ(sequencer().running, 0);
  EXPECT_EQ(sim.Requests().size(), sent);
  EXPECT_EQ(pane.Button(SequencerWnd::kStartStopButton)->text(), QStringLiteral("Start"));
  EXPECT_EQ(pane.Logic().ProgressText(), QStringLiteral("Sequencer ended"));
}

TEST_F(SequencerPaneTest, LoadAndSaveGoThroughTheFileDialogsAndReportFailures) {
  SequencerWnd pane(Context(), QStringLiteral("Sequencer"));
  ASSERT_EQ(pane.Create(), 0);
  sequencer().tasks = {Dilate()};
  pane.FillList();
  ORV::UI::ScriptedFileDialogs files;
  ORV::UI::ScriptedMessageBoxes boxes;
  files.Answer(dir_.path() + "/missing/run");
  EXPECT_FALSE(pane.SaveSequence());
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown()[0].text, QStringLiteral("Unable to save sequence file"));
  EXPECT_EQ(boxes.Shown()[0].type, ORV::UI::MB_OK | ORV::UI::MB_ICONERROR);
  files.Answer(dir_.path() + "/run");
  EXPECT_TRUE(pane.SaveSequence());
  EXPECT_EQ(files.Asked().back().filter, "Sequencer Files (*.seq)|*.seq|All Files (*.*)|*.*||");
  EXPECT_TRUE(files.Asked().back().save);

  // A file that does not load leaves the list as it was.
  const std::string bad = dir_.path() + "/bad.seq";
  std::ofstream(bad) << "<Sequencer Version=\"2\"></Sequencer>";
  sequencer().tasks = {Task("Kept")};
  pane.FillList();
  files.Answer(bad);
  pane.OnCommand(SequencerPaneLogic::kLoadSequence);
  ASSERT_EQ(boxes.Shown().size(), 2u);
  EXPECT_EQ(boxes.Shown()[1].text.toStdString(),
            "The sequence file \"" + bad + "\" could not be loaded: it is damaged or is not a sequence file.");
  EXPECT_EQ(files.Asked().back().folder, dir_.path() + "/");
  EXPECT_EQ(pane.List()->topLevelItem(0)->text(0), QStringLiteral("Kept"));
  files.Answer(dir_.path() + "/run.seq");
  pane.OnCommand(SequencerPaneLogic::kLoadSequence);
  EXPECT_EQ(boxes.Shown().size(), 2u);
  ASSERT_EQ(pane.List()->topLevelItemCount(), 1);
  EXPECT_EQ(pane.List()->topLevelItem(0)->text(0), QStringLiteral("Dilate"));
}

// Files that are no sequence, loaded from the pane: each is told by name
// with what is wrong, none is waited on (a named pipe) or read whole (one
// over the size limit), and the list stays as it was.
TEST_F(SequencerPaneTest, AFileThatIsNoSequenceIsToldByNameAndTheListStays) {
  SequencerWnd pane(Context(), QStringLiteral("Sequencer"));
  ASSERT_EQ(pane.Create(), 0);
  sequencer().tasks = {Task("Kept")};
  pane.FillList();
  const std::string good = dir_.path() + "/good.seq";
  ASSERT_TRUE(sequencer().SaveSequence(good));
  std::ifstream in(good, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::ofstream(dir_.path() + "/truncated.seq") << text.substr(0, text.size() / 2);
  std::ofstream(dir_.path() + "/huge.seq") << text << std::string(ORV::Sequencer::kMaxFileBytes, ' ');
  std::ofstream(dir_.path() + "/empty.seq");
  std::filesystem::create_directory(dir_.path() + "/folder.seq");
  ASSERT_EQ(::mkfifo((dir_.path() + "/pipe.seq").c_str(), 0600), 0);
  const struct {
    const char* name;
    const char* reason;
  } cases[] = {
      {"truncated.seq", "it is damaged or is not a sequence file."},
      {"huge.seq", "it is larger than 4 MiB, too large for this kind of file."},
      {"empty.seq", "it is empty."},
      {"folder.seq", "it is a folder, not a file."},
      {"pipe.seq", "it is a pipe, a device or a socket, not a file."},
      {"missing.seq", "it does not exist."},
  };
  ORV::UI::ScriptedFileDialogs files;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ORV::UI::ScriptedMessageBoxes boxes;
    const std::string path = dir_.path() + "/" + c.name;
    files.Answer(path);
    pane.OnCommand(SequencerPaneLogic::kLoadSequence);
    ASSERT_EQ(boxes.Shown().size(), 1u);
    EXPECT_EQ(boxes.Shown()[0].text.toStdString(),
              "The sequence file \"" + path + "\" could not be loaded: " + c.reason);
    ASSERT_EQ(pane.List()->topLevelItemCount(), 1);
    EXPECT_EQ(pane.List()->topLevelItem(0)->text(0), QStringLiteral("Kept"));
  }
}

}  // namespace
