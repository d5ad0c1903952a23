#include "platform/ui/message_window.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "platform/ui/ui_thread.h"
#include "tests/support/ui/ui_test_support.h"

namespace ORV::UI {
namespace {

using ORV::Test::ProcessEventsUntil;

constexpr std::uint32_t kSample = WM_APP + 102;

struct Received {
  WPARAM wParam;
  LPARAM lParam;
  bool onUiThread;
};

// Records every kSample it handles; answers wParam * 2.
class RecordingWindow : public MessageWindow {
 public:
  explicit RecordingWindow(std::vector<Received>& log) {
    SetHandler(kSample, [&log](WPARAM w, LPARAM l) -> LRESULT {
      log.push_back({w, l, IsUiThread()});
      return static_cast<LRESULT>(w * 2);
    });
  }
};

TEST(MessageWindowTest, PostsFromOtherThreadsAreHandledOnceOnTheGuiThreadInPostingOrder) {
  std::vector<Received> log;
  RecordingWindow window(log);
  constexpr int kThreads = 4;
  constexpr int kPerThread = 2000;
  std::atomic<int> refused{0};
  std::vector<std::thread> producers;
  for (int t = 0; t < kThreads; ++t) {
    producers.emplace_back([&, t] {
      // Half through the window, half through the handle a producer keeps.
      std::shared_ptr<OS::MessageTarget> target = window.Target();
      for (int i = 0; i < kPerThread; ++i) {
        const bool ok = (i % 2) ? target->PostMessage(kSample, t, i) : window.PostMessage(kSample, t, i);
        if (!ok) ++refused;
      }
    });
  }
  ASSERT_TRUE(ProcessEventsUntil([&] { return log.size() >= kThreads * kPerThread; }));
  for (auto& p : producers) p.join();
  QCoreApplication::processEvents();

  EXPECT_EQ(refused.load(), 0);
  ASSERT_EQ(log.size(), std::size_t{kThreads * kPerThread});
  std::vector<LPARAM> next(kThreads, 0);
  for (const Received& r : log) {
    ASSERT_TRUE(r.onUiThread);
    ASSERT_LT(r.wParam, WPARAM{kThreads});
    EXPECT_EQ(r.lParam, next[r.wParam]) << "producer " << r.wParam;
    next[r.wParam] = r.lParam + 1;
  }
}

TEST(MessageWindowTest, MessagesToADestroyedWindowAreDropped) {
  std::vector<Received> log;
  auto window = std::make_unique<RecordingWindow>(log);
  std::shared_ptr<OS::MessageTarget> target = window->Target();
  ASSERT_TRUE(window->PostMessage(kSample, 1, 1));
  ASSERT_TRUE(target->PostMessage(kSample, 2, 2));

  window.reset();  // the two messages are still queued
  QCoreApplication::processEvents();

  EXPECT_TRUE(log.empty());
  EXPECT_FALSE(target->PostMessage(kSample, 3, 3));
  QCoreApplication::processEvents();
  EXPECT_TRUE(log.empty());
}

TEST(MessageWindowTest, ACloserDeclaredLastClosesTheWindowBeforeTheOtherMembersGo) {
  // What reached the window while its members went.
  struct Farewell {
    LRESULT sent = -1;
    bool posted = true;
  } farewell;
  // A member that messages its window as it goes, as a member that stops a
  // worker may; by then its window's handlers must not run any more.
  struct LastWords {
    MessageWindow& window;
    Farewell& farewell;
    ~LastWords() {
      farewell.sent = window.SendMessage(kSample, 1);
      farewell.posted = window.PostMessage(kSample, 2);
    }
  };
  struct ClosingWindow : MessageWindow {
    explicit ClosingWindow(Farewell& farewell) : words{*this, farewell} {
      SetHandler(kSample, [this](WPARAM w, LPARAM) -> LRESULT {
        handled->push_back(w);  // the members above the closer
        return 1;
      });
      SetHandler(WM_TIMER, [this](WPARAM w, LPARAM) -> LRESULT {
        handled->push_back(w);
        return 0;
      });
    }
    std::unique_ptr<std::vector<WPARAM>> handled = std::make_unique<std::vector<WPARAM>>();
    LastWords words;
    MessageWindowCloser closer{*this};
  };

  auto window = std::make_unique<ClosingWindow>(farewell);
  ASSERT_TRUE(window->SetTimer(9, 0));
  ASSERT_TRUE(window->PostMessage(kSample, 3));  // still queued when the window goes
  window.reset();
  QCoreApplication::processEvents();

  EXPECT_EQ(farewell.sent, 0) << "the handler ran on a window whose members were going";
  EXPECT_FALSE(farewell.posted);
}

TEST(MessageWindowTest, AWindowCanBeDestroyedWhileAnotherThreadKeepsPosting) {
  std::vector<Received> log;
  auto window = std::make_unique<RecordingWindow>(log);
  std::shared_ptr<OS::MessageTarget> target = window->Target();
  std::atomic<int> accepted{0};
  std::thread producer([&] {
    while (accepted.load() < 200000 && target->PostMessage(kSample, 0, accepted.load())) ++accepted;
  });
  ASSERT_TRUE(ProcessEventsUntil([&] { return log.size() >= 100; }));
  window.reset();
  producer.join();
  QCoreApplication::processEvents();

  // Everything handled was accepted, in order; the rest was dropped.
  ASSERT_LE(log.size(), std::size_t(accepted.load()));
  for (std::size_t i = 0; i < log.size(); ++i) EXPECT_EQ(log[i].lParam, LPARAM(i));
}

TEST(MessageWindowTest, SendRunsTheHandlerNowAndReturnsItsResult) {
  std::vector<Received> log;
  RecordingWindow window(log);
  EXPECT_EQ(window.SendMessage(kSample, 21, 0), 42);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(window.SendMessage(WM_APP + 999), 0) << "no handler";

  // From a worker the call waits for the GUI thread, which runs it.
  std::atomic<LRESULT> fromWorker{-1};
  std::thread worker([&] { fromWorker = window.SendMessage(kSample, 5, 0); });
  ASSERT_TRUE(ProcessEventsUntil([&] { return fromWorker.load() != -1; }));
  worker.join();
  EXPECT_EQ(fromWorker.load(), 10);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_TRUE(log[1].onUiThread);
}

TEST(MessageWindowTest, TimersFireWmTimerWithTheirIdUntilKilled) {
  struct TimerWindow : MessageWindow {
    std::vector<WPARAM> ticks;
    bool killInHandler = false;
    TimerWindow() {
      SetHandler(WM_TIMER, [this](WPARAM id, LPARAM) -> LRESULT {
        ticks.push_back(id);
        if (killInHandler) KillTimer(id);
        return 0;
      });
    }
  } window;

  EXPECT_FALSE(window.KillTimer(7));
  ASSERT_TRUE(window.SetTimer(7, 0));
  ASSERT_TRUE(window.SetTimer(7, 0)) << "restarting keeps one timer";
  EXPECT_TRUE(window.HasTimer(7));
  ASSERT_TRUE(ProcessEventsUntil([&] { return window.ticks.size() >= 3; }));
  for (WPARAM id : window.ticks) EXPECT_EQ(id, 7u);

  EXPECT_TRUE(window.KillTimer(7));
  EXPECT_FALSE(window.HasTimer(7));
  const std::size_t before = window.ticks.size();
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_EQ(window.ticks.size(), before);

  // A handler may kill the timer that called it.
  window.killInHandler = true;
  window.ticks.clear();
  ASSERT_TRUE(window.SetTimer(9, 0));
  ASSERT_TRUE(ProcessEventsUntil([&] { return !window.ticks.empty(); }));
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_EQ(window.ticks, std::vector<WPARAM>{9});
  EXPECT_FALSE(window.HasTimer(9));
}

TEST(UiThreadTest, RunOnUiThreadRunsInlineOnTheGuiThreadAndWaitsFromAWorker) {
  bool ranInline = false;
  EXPECT_TRUE(RunOnUiThread([&] { ranInline = true; }));
  EXPECT_TRUE(ranInline);

  std::atomic<bool> ranOnUi{false};
  std::atomic<int> result{-1};
  std::thread worker([&] { result = RunOnUiThread([&] { ranOnUi = IsUiThread(); }) ? 1 : 0; });
  ASSERT_TRUE(ProcessEventsUntil([&] { return result.load() != -1; }));
  worker.join();
  EXPECT_EQ(result.load(), 1);
  EXPECT_TRUE(ranOnUi.load());

  EXPECT_FALSE(RunOnUiThread({}));
  EXPECT_FALSE(PostToUiThread({}));
}

TEST(UiThreadTest, PostedCallsRunOnTheGuiThreadInOrder) {
  std::vector<int> order;
  std::atomic<bool> allOnUi{true};
  std::thread worker([&] {
    for (int i = 0; i < 3; ++i) {
      EXPECT_TRUE(PostToUiThread([&, i] {
        if (!IsUiThread()) allOnUi = false;
        order.push_back(i);
      }));
    }
  });
  worker.join();
  // Posted from the GUI thread itself, it still runs later, after them.
  EXPECT_TRUE(PostToUiThread([&] { order.push_back(3); }));
  EXPECT_TRUE(order.empty());
  ASSERT_TRUE(ProcessEventsUntil([&] { return order.size() == 4; }));
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_TRUE(allOnUi.load());
}

}  // namespace
}  // namespace ORV::UI
