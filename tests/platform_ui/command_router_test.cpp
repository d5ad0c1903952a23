#include "platform/ui/command_router.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QEventLoop>
#include <QTimer>
#include <vector>

namespace ORV::UI {
namespace {

TEST(CommandRouterTest, ExecuteRunsTheHandlerOfAnEnabledCommandOnly) {
  CommandRouter router;
  int runs = 0;
  bool allowed = true;
  router.OnCommand(10, [&] { ++runs; });
  router.OnUpdate(10, [&](CmdUI& ui) { ui.Enable(allowed); });
  EXPECT_TRUE(router.Execute(10));
  allowed = false;
  EXPECT_FALSE(router.Execute(10)) << "a disabled command does not run";
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(router.Execute(11)) << "nothing handles 11";

  // Without an update handler a command is enabled exactly when it has a handler.
  router.OnCommand(20, [] {});
  EXPECT_TRUE(router.QueryState(20).enabled);
  EXPECT_FALSE(router.QueryState(21).enabled);
  router.OnCommand(20, nullptr);
  EXPECT_FALSE(router.HasCommandHandler(20));
  EXPECT_FALSE(router.QueryState(20).enabled);
}

TEST(CommandRouterTest, RangesGiveTheIdAndASingleIdWinsOverARange) {
  CommandRouter router;
  std::vector<CommandId> seen;
  router.OnCommandRange(219, 205, [&](CommandId id) { seen.push_back(id); });
  router.OnCommand(210, [&] { seen.push_back(0); });
  router.OnUpdateRange(205, 219, [](CmdUI& ui) { ui.SetCheck(ui.Id() == 215); });
  for (CommandId id : {204u, 205u, 210u, 215u, 219u, 220u}) router.Execute(id);
  EXPECT_EQ(seen, (std::vector<CommandId>{205, 0, 215, 219}));
  EXPECT_TRUE(router.QueryState(215).checked);
  EXPECT_FALSE(router.QueryState(214).checked);
  router.OnUpdate(214, [](CmdUI& ui) { ui.SetText("single"); });
  EXPECT_EQ(router.QueryState(214).text, "single");
}

TEST(CommandRouterTest, OneIdlePassDisablesChecksAndRetextsAndRepeatsNothing) {
  CommandRouter router;
  struct Shown {
    int calls = 0;
    CommandState state;
  } a, b, plain;
  bool collecting = false;
  router.OnCommand(1, [] {});
  router.OnUpdate(1, [&](CmdUI& ui) {
    ui.Enable(!collecting);
    ui.SetCheck(collecting);
    ui.SetText(collecting ? "Stop" : "Start");
  });
  router.OnCommand(2, [] {});
  const auto sink = [](Shown& shown) {
    return [&shown](CommandId, const CommandState& s) {
      ++shown.calls;
      shown.state = s;
    };
  };
  router.Subscribe(1, sink(a));
  const int second = router.Subscribe(1, sink(b));
  router.Subscribe(2, sink(plain));

  router.UpdateIdle();
  EXPECT_EQ(a.calls, 1);
  EXPECT_EQ(plain.calls, 1) << "the first pass always delivers";
  EXPECT_EQ(a.state, (CommandState{true, false, "Start"}));
  EXPECT_EQ(plain.state, (CommandState{true, false, std::nullopt}));

  collecting = true;
  router.UpdateIdle();
  EXPECT_EQ(a.state, (CommandState{false, true, "Stop"}));
  EXPECT_EQ(b.state, a.state);
  EXPECT_EQ(plain.calls, 1) << "an unchanged state is not delivered again";

  router.Unsubscribe(second);
  collecting = false;
  router.UpdateIdle();
  EXPECT_EQ(a.calls, 3);
  EXPECT_EQ(b.calls, 2);
}

TEST(CommandRouterTest, ABoundActionShowsTheStateAndRunsTheCommandUntilEitherGoes) {
  int runs = 0;
  bool allowed = false;
  auto action = std::make_unique<QAction>("Windows...");
  {
    CommandRouter router;
    router.OnCommand(126, [&] { ++runs; });
    router.OnUpdate(126, [&](CmdUI& ui) {
      ui.Enable(allowed);
      ui.SetCheck(allowed);
    });
    router.BindAction(*action, 126);
    router.UpdateIdle();
    EXPECT_FALSE(action->isEnabled());
    EXPECT_FALSE(action->isChecked());
    allowed = true;
    router.UpdateIdle();
    EXPECT_TRUE(action->isEnabled());
    EXPECT_TRUE(action->isChecked());
    action->trigger();
    EXPECT_EQ(runs, 1);

    auto gone = std::make_unique<QAction>("gone");
    router.BindAction(*gone, 126);
    gone.reset();
    router.UpdateIdle();  // the deleted action is not touched
  }
  action->trigger();  // the router is gone: nothing runs
  EXPECT_EQ(runs, 1);
}

TEST(CommandRouterTest, TheIdlePassRunsWhenTheEventLoopWaits) {
  CommandRouter router;
  int passes = 0;
  router.OnUpdate(7, [&](CmdUI& ui) { ui.Enable(++passes > 0); });
  router.Subscribe(7, [](CommandId, const CommandState&) {});
  router.StartIdleUpdates();
  QEventLoop loop;
  QTimer::singleShot(20, &loop, &QEventLoop::quit);
  loop.exec();
  EXPECT_GE(passes, 1);
}

}  // namespace
}  // namespace ORV::UI
