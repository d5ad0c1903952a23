#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <thread>
#include <vector>

#include "platform/ui/dpi.h"
#include "platform/ui/progress_dialog.h"
#include "platform/ui/ui_thread.h"
#include "platform/ui/wait_for_event_dialog.h"
#include "tests/support/ui/ui_test_support.h"

namespace ORV::UI {
namespace {

// A bar of plain fields, for the stage rules alone.
struct FakeBar : ProgressBarAccess {
  QString text;
  int position = 0;
  int upper = 100;
  int redraws = 0;
  QString Text() const override { return text; }
  void SetText(const QString& t) override { text = t; }
  int Pos() const override { return position; }
  void SetPos(int p) override { position = p; }
  int Upper() const override { return upper; }
  void SetUpper(int u) override { upper = u; }
  void Redraw() override { ++redraws; }
};

TEST(ProgressStagesTest, CodesChangeTheBarAndPopsRestoreTheOuterStage) {
  FakeBar bar;
  ProgressStages stages(bar);
  const std::string saving = "Saving experiment";
  stages.Apply(kProgressText, 0, &saving);
  stages.Apply(kProgressRange, 200, nullptr);
  stages.Apply(kProgressPos, 30, nullptr);

  // An inner stage as BeginStage posts it, run to its end.
  const std::string traces = "Writing traces";
  stages.Apply(kProgressPush, 0, nullptr);
  stages.Apply(kProgressText, 0, &traces);
  stages.Apply(kProgressPos, 0, nullptr);
  stages.Apply(kProgressRange, 50, nullptr);
  stages.Apply(kProgressRedraw, 0, nullptr);
  for (int i = 0; i < 50; ++i) stages.Apply(kProgressAdvance, 1, nullptr);
  EXPECT_EQ(bar.text, QString::fromStdString(traces));
  EXPECT_EQ(bar.position, 50);
  EXPECT_EQ(bar.upper, 50);
  EXPECT_EQ(bar.redraws, 1);

  stages.Apply(kProgressPop, 0, nullptr);
  EXPECT_EQ(bar.text, QString::fromStdString(saving));
  EXPECT_EQ(bar.position, 30);
  EXPECT_EQ(bar.upper, 200);
  EXPECT_EQ(stages.Depth(), 0u);

  // Ignored: a missing text, a pop of an empty stack, an unknown code.
  stages.Apply(kProgressText, 0, nullptr);
  stages.Apply(kProgressPop, 0, nullptr);
  stages.Apply(77, 5, nullptr);
  EXPECT_EQ(bar.text, QString::fromStdString(saving));
  EXPECT_EQ(bar.position, 30);
  EXPECT_EQ(bar.upper, 200);

  // The range bound travels as 16 bits.
  stages.Apply(kProgressRange, 70000, nullptr);
  EXPECT_EQ(bar.upper, 4464);
}

TEST(ProgressDialogTest, ProgressPostedFromFourWorkersEndsAtItsTotal) {
  CProgressDialog dialog(nullptr, false);
  dialog.Create();
  std::shared_ptr<ProgressPoster> poster = dialog.Poster();
  poster->PostText("Saving experiment");
  poster->Post(kProgressRange, 400);
  poster->Post(kProgressPos, 120);
  poster->BeginStage("Writing traces", 200);
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([poster] {
      for (int i = 0; i < 50; ++i) poster->Post(kProgressAdvance, 1);
    });
  }
  for (std::thread& t : workers) t.join();
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return dialog.Bar().GetPos() == 200; }));
  EXPECT_EQ(dialog.Bar().GetWindowText(), QStringLiteral("Writing traces"));
  EXPECT_EQ(dialog.Bar().GetRange(false), 200);
  ORV::Test::SaveUiArtifact(dialog, "progress_dialog_stage");

  poster->Post(kProgressPop);
  poster->Post(kProgressText, 0);          // no text: ignored
  poster->Post(kProgressText, 123456789);  // a text never posted: ignored
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return dialog.Stages().Depth() == 0; }));
  EXPECT_EQ(dialog.Bar().GetWindowText(), QStringLiteral("Saving experiment"));
  EXPECT_EQ(dialog.Bar().GetPos(), 120);
  EXPECT_EQ(dialog.Bar().GetRange(false), 400);

  // A range of no width shows an empty bar.
  poster->Post(kProgressRange, 0);
  poster->Post(kProgressAdvance, 3);
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return dialog.Bar().GetRange(false) == 0; }));
  ORV::Test::SaveUiArtifact(dialog, "progress_dialog_empty_range");
}

TEST(ProgressDialogTest, TheModalDialogEndsWhenItsWorkerFinishesAndCannotBeClosedByTheUser) {
  std::atomic<bool> finished{false};
  CProgressDialog dialog(nullptr, false);
  dialog.SetDoneQuery([&] { return finished.load(); });
  std::thread worker;
  const int result = ORV::Test::RunModal(dialog, [&] {
    ASSERT_TRUE(dialog.IsReady());
    // The close box and Escape minimise the dialog; it stays up.
    dialog.close();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.isMinimized());
    worker = std::thread([&, poster = dialog.Poster()] {
      dialog.WaitReady();
      poster->BeginStage("Exporting", 10);
      for (int i = 0; i < 10; ++i) poster->Post(kProgressAdvance, 1);
      finished = true;
    });
    EXPECT_TRUE(ORV::Test::ProcessEventsUntil([&] { return !dialog.isVisible(); }));
  });
  worker.join();
  EXPECT_EQ(result, 0);
}

TEST(ProgressDialogTest, WorkThatCanStopIsAskedToByCancelEscapeOrTheCloseBox) {
  std::atomic<bool> stop{false};
  int asked = 0;
  CProgressDialog dialog(nullptr, false);
  dialog.SetDoneQuery([&] { return stop.load(); });
  dialog.SetCancel([&] {
    ++asked;
    stop = true;
  });
  const int result = ORV::Test::RunModal(dialog, [&] {
    // Escape, the close box and the button ask once; the dialog ends with
    // the work.
    QTest::keyClick(&dialog, Qt::Key_Escape);
    dialog.close();
    auto* button = dialog.findChild<QPushButton*>();
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->isEnabled());
    EXPECT_FALSE(dialog.isMinimized());
    EXPECT_TRUE(ORV::Test::ProcessEventsUntil([&] { return !dialog.isVisible(); }));
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(dialog.CancelRequested());
}

TEST(ProgressDialogTest, AStartedDialogIsShownFromAWorkerTogglesAndStops) {
  const auto openDialogs = [] {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) n += dynamic_cast<CProgressDialog*>(w) != nullptr;
    return n;
  };
  std::shared_ptr<ProgressThread> handle;
  std::thread worker([&] { handle = CProgressDialog::StartThread(); });
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return openDialogs() == 1; }));
  worker.join();
  ASSERT_TRUE(handle);
  EXPECT_TRUE(handle->Started());
  CProgressDialog* dialog = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* d = dynamic_cast<CProgressDialog*>(w)) dialog = d;
  }
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(ORV::Test::ProcessEventsUntil([&] { return dialog->Bar().GetPos() > 0; })) << "the position creeps";
  EXPECT_EQ(dialog->Bar().GetWindowText(), QStringLiteral("Loading from file.."));
  ORV::Test::SaveUiArtifact(*dialog, "progress_dialog_loading");

  handle->Toggle();
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return dialog->isHidden(); }));
  handle->Toggle();
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return !dialog->isHidden(); })) << "toggled twice: as it was";

  handle->Stop();
  ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] {
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return openDialogs() == 0;
  }));
  handle->Toggle();  // the dialog is gone: nothing happens
  handle->Stop();
}

// A clock for the dialogs' timers that runs only when the test moves it.
class VirtualClock : public WindowTimers {
 public:
  void Start(MessageWindow& window, std::uintptr_t id, unsigned periodMs) override {
    Stop(window, id);
    timers_.push_back({&window, id, periodMs, now_ + periodMs});
  }
  void Stop(MessageWindow& window, std::uintptr_t id) override {
    std::erase_if(timers_, [&](const Timer& t) { return t.window == &window && t.id == id; });
  }
  // Fires every tick due within the next `ms`, in time order.
  void Advance(unsigned ms) {
    const std::uint64_t end = now_ + ms;
    for (;;) {
      Timer* next = nullptr;
      for (Timer& t : timers_) {
        if (t.due <= end && (!next || t.due < next->due)) next = &t;
      }
      if (!next) break;
      now_ = next->due;
      next->due += next->period;
      MessageWindow* window = next->window;
      const std::uintptr_t id = next->id;
      window->SendMessage(WM_TIMER, id, 0);
    }
    now_ = end;
  }
  std::uint64_t Now() const { return now_; }
  bool Idle() const { return timers_.empty(); }

 private:
  struct Timer {
    MessageWindow* window;
    std::uintptr_t id;
    unsigned period;
    std::uint64_t due;
  };
  std::vector<Timer> timers_;
  std::uint64_t now_ = 0;
};

TEST(WaitForEventTest, DotsGrowEveryPollAndNothingToWaitForNeverEnds) {
  VirtualClock clock;
  CWaitForEvent dialog(nullptr, clock);
  dialog.SetMessage("Stopping data collection");
  const int result = ORV::Test::RunModal(dialog, [&] {
    EXPECT_EQ(dialog.PleaseWaitLabel(), QStringLiteral("Please wait"));
    std::vector<int> dots;
    for (int i = 0; i < 7; ++i) {
      clock.Advance(250);
      dots.push_back(dialog.State().Dots());
    }
    EXPECT_EQ(dots, (std::vector<int>{1, 2, 3, 4, 5, 1, 2}));
    EXPECT_EQ(dialog.PleaseWaitLabel(), QStringLiteral("Please wait.."));
    QApplication::sendPostedEvents();
    EXPECT_EQ(dialog.MessageLabel(), QStringLiteral("Stopping data collection"));
    ORV::Test::SaveUiArtifact(dialog, "wait_for_event_dialog");
    clock.Advance(10000);
    EXPECT_TRUE(dialog.isVisible()) << "no task, event or time-out: the dialog stays";
    dialog.EndDialog(7);
  });
  EXPECT_EQ(result, 7);
}

TEST(WaitForEventTest, TheTaskTheEventOrTheTimeOutEndsTheDialog) {
  const struct {
    const char* what;
    bool signalledAtOnce;
    unsigned taskDoneAtMs;  // 0: never
    std::uint32_t timeoutSeconds;
    int result;
    std::uint64_t endsAtMs;
  } cases[] = {
      {"an event set already ends it at the first poll", true, 0, WaitForEventState::kNoTimeout, 0, 250},
      {"the task finishing ends it at the next poll", false, 1100, WaitForEventState::kNoTimeout, 0, 1250},
      {"the time-out ends it with 1", false, 0, 3, 1, 3000},
      {"a task finishing first wins over the time-out", false, 600, 3, 0, 750},
  };
  for (const auto& c : cases) {
    VirtualClock clock;
    CWaitForEvent dialog(nullptr, clock);
    dialog.State().waitHandle = [&] { return c.signalledAtOnce; };
    dialog.State().doneQuery = [&] { return c.taskDoneAtMs != 0 && clock.Now() >= c.taskDoneAtMs; };
    dialog.State().timeoutSeconds = c.timeoutSeconds;
    std::uint64_t endedAt = 0;
    const int result = ORV::Test::RunModal(dialog, [&] {
      while (dialog.isVisible() && clock.Now() < 20000) {
        clock.Advance(50);
        QApplication::processEvents();
        if (!dialog.isVisible() && endedAt == 0) endedAt = clock.Now();
      }
    });
    EXPECT_EQ(result, c.result) << c.what;
    EXPECT_EQ(endedAt, c.endsAtMs) << c.what;
    EXPECT_TRUE(clock.Idle()) << c.what << ": the timers stop with the dialog";
  }
}

}  // namespace
}  // namespace ORV::UI
