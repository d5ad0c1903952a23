// The update-check dialog's state machine with fake tasks and scripted
// answers, the flow around it with a scripted presenter, and the real worker
// tasks being joined after a cancelled check.
#include "updater/update_flow.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/threading/event.h"
#include "updater/exports/freshet.h"
#include "updater/installation.h"
#include "updater_fixture.h"

namespace ORV::Test {
namespace {

using Freshet::UpdateResponses;

class FakeTasks : public Freshet::UpdateTasks {
 public:
  void StartCheck() override { ++checksStarted; }
  std::optional<UpdateResponses> CheckResult() override { return check; }
  void StartUpdate(UpdateResponses r) override { updatesStarted.push_back(r); }
  std::optional<bool> UpdateResult() override { return update; }

  int checksStarted = 0;
  std::vector<UpdateResponses> updatesStarted;
  std::optional<UpdateResponses> check;
  std::optional<bool> update;
};

struct ModelRun {
  FakeTasks tasks;
  int questions = 0;
  bool answer = false;
  Freshet::UpdateCheckModel model;
  ModelRun(bool afterCheck, bool yes)
      : answer(yes), model(tasks, afterCheck, [this] {
          ++questions;
          EXPECT_TRUE(model.Asking());
          model.Poll();  // a timer firing while the question is open does nothing
          return answer;
        }) {
    model.Start();
  }
};

TEST(UpdateCheckModel, ResultsOfTheCheckLeadToTheirEnds) {
  struct Case {
    const char* name;
    bool afterCheck;
    std::optional<UpdateResponses> check;
    bool yes;
    int questions;
    int result;  // 0: still running, updating
    const char* text;
  };
  const Case cases[] = {
      {"no update ends with No", false, UpdateResponses::NoUpdate, false, 0, Freshet::kDialogNo,
       Freshet::kNoUpdateText},
      {"failed check ends as failed", false, UpdateResponses::CheckFailed, false, 0, Freshet::kDialogCheckFailed,
       Freshet::kCheckFailedText},
      {"update and No ends with Cancel", false, UpdateResponses::UpdateAvailable, false, 1, Freshet::kDialogCancel,
       Freshet::kUpdateAvailableText},
      {"update and Yes starts the update", false, UpdateResponses::UpdateAvailable, true, 1, 0,
       Freshet::kDownloadingText},
      {"pending install starts without a question", false, UpdateResponses::InstallPending, false, 0, 0,
       Freshet::kDownloadingText},
      {"check still running waits", false, std::nullopt, false, 0, 0, Freshet::kCheckingText},
      {"after-check asks at once, No cancels", true, std::nullopt, false, 1, Freshet::kDialogCancel,
       Freshet::kUpdateAvailableText},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModelRun run(c.afterCheck, c.yes);
    EXPECT_EQ(run.tasks.checksStarted, c.afterCheck ? 0 : 1);
    run.tasks.check = c.check;
    run.model.Poll();
    run.model.Poll();
    EXPECT_EQ(run.questions, c.questions);
    EXPECT_EQ(run.model.Result(), c.result);
    EXPECT_EQ(run.model.Text(), c.text);
  }
}

TEST(UpdateCheckModel, UpdateRunsToItsEndWithCancelDisabled) {
  for (const bool succeeded : {true, false}) {
    ModelRun run(false, true);
    run.tasks.check = UpdateResponses::InstallPending;
    run.model.Poll();
    ASSERT_EQ(run.tasks.updatesStarted, std::vector<UpdateResponses>{UpdateResponses::InstallPending});
    EXPECT_FALSE(run.model.CancelEnabled());
    run.model.Cancel();
    run.model.Poll();
    EXPECT_FALSE(run.model.Ended()) << "cancel is disabled and the update still runs";
    run.tasks.update = succeeded;
    run.model.Poll();
    EXPECT_EQ(run.model.Result(), succeeded ? Freshet::kDialogOk : Freshet::kDialogCancel);
    EXPECT_EQ(run.tasks.updatesStarted.size(), 1u);
  }
}

TEST(UpdateCheckModel, CancelDuringTheCheckEndsAndProgressWraps) {
  ModelRun run(false, true);
  run.model.Cancel();
  EXPECT_EQ(run.model.Result(), Freshet::kDialogCancel);
  run.tasks.check = UpdateResponses::UpdateAvailable;
  run.model.Poll();
  EXPECT_EQ(run.questions, 0);

  int last = 0;
  for (int i = 0; i < 101; ++i) last = run.model.Step();
  EXPECT_EQ(last, 0) << "after 100 the bar starts again";
  EXPECT_EQ(run.model.Step(), 1);
}

// Answers with a scripted dialog result and records the messages.
class ScriptedPresenter : public Freshet::FlowPresenter {
 public:
  int RunUpdateCheckDialog(Freshet::UpdateTasks&, bool afterCheck) override {
    dialogs.push_back(afterCheck);
    return dialogResult;
  }
  bool AskUpdatesAvailable(const Freshet::FreshetSettings&) override { return false; }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  int dialogResult = Freshet::kDialogCancel;
  std::vector<bool> dialogs;
  std::vector<std::string> messages;
};

TEST_F(UpdaterTest, FlowShowsTheMessagesOfAManualCheckOnly) {
  struct Case {
    const char* name;
    bool manual;
    int dialogResult;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {"No in a manual check", true, Freshet::kDialogNo, {Freshet::kUpToDateText}},
      {"No in an automatic check", false, Freshet::kDialogNo, {}},
      {"failed manual check", true, Freshet::kDialogCheckFailed, {Freshet::kCheckFailedText}},
      {"cancel", true, Freshet::kDialogCancel, {}},
      {"done", true, Freshet::kDialogOk, {}},
  };
  auto installed = std::make_shared<FakeInstalledProducts>();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedPresenter presenter;
    presenter.dialogResult = c.dialogResult;
    Freshet::UpdateCheckFlow(settings, installed, presenter, c.manual, false);
    EXPECT_EQ(presenter.dialogs, std::vector<bool>{false});
    EXPECT_EQ(presenter.messages, c.messages);
  }
}

TEST_F(UpdaterTest, AfterCheckFlowOpensTheDialogOnlyWhenThereIsSomethingToDo) {
  auto installed = std::make_shared<FakeInstalledProducts>();
  installed->Add("Tarvix 5", "5.5.7");
  ScriptedPresenter presenter;

  server.Queue({200, SoapReply("")});
  Freshet::UpdateCheckFlow(settings, installed, presenter, true, true);
  EXPECT_TRUE(presenter.dialogs.empty());
  EXPECT_EQ(presenter.messages, std::vector<std::string>{Freshet::kUpToDateText});

  presenter.messages.clear();
  server.Queue({500, "down"});
  Freshet::UpdateCheckFlow(settings, installed, presenter, true, true);
  EXPECT_TRUE(presenter.dialogs.empty());
  EXPECT_EQ(presenter.messages, std::vector<std::string>{Freshet::kCheckFailedText});

  presenter.messages.clear();
  server.Queue({200, SoapReply(UpdateElement(MakeUpdate("Tarvix 5", 5, 6, 0, 0)))});
  Freshet::UpdateCheckFlow(settings, installed, presenter, true, true);
  EXPECT_EQ(presenter.dialogs, std::vector<bool>{true});
  EXPECT_TRUE(presenter.messages.empty()) << "Cancel, not No: no up-to-date message";
}

// Runs the dialog's state machine on the real tasks as the dialog does, and
// answers the question with Yes.
class AgreeingPresenter : public ScriptedPresenter {
 public:
  int RunUpdateCheckDialog(Freshet::UpdateTasks& tasks, bool afterCheck) override {
    Freshet::UpdateCheckModel model(tasks, afterCheck, [] { return true; });
    model.Start();
    while (model.Poll(), !model.Ended()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return model.Result();
  }
};

TEST_F(UpdaterTest, FlowTellsTheUserOfAnUpdateThatCouldNotBeVerified) {
  auto installed = std::make_shared<FakeInstalledProducts>();
  installed->Add("Tarvix 5", "5.5.7");
  const Freshet::FreshetUpdate offered = MakeUpdate("Tarvix 5", 5, 6, 0, 0, {{"u/core", "core.pkg"}});
  for (const bool manual : {true, false}) {
    SCOPED_TRACE(manual ? "manual check" : "automatic check");
    server.Queue({200, SoapReply(UpdateElement(offered))});
    server.Queue({200, "#!/bin/sh\nexit 0\n", "application/octet-stream"});
    AgreeingPresenter presenter;
    Freshet::UpdateCheckFlow(settings, installed, presenter, manual, false);
    EXPECT_EQ(presenter.messages, std::vector<std::string>{Freshet::UnverifiedUpdateText(offered)});
    EXPECT_FALSE(Freshet::IsInstallPending(settings));
  }
  Freshet::JoinOutstandingTasks();
}

// An installed-products source whose enumeration waits for the test: a check
// that is still running.
class BlockingProducts : public FakeInstalledProducts {
 public:
  std::vector<OS::InstalledProductEntry> Enumerate() const override {
    entered.Set();
    release.Wait();
    return FakeInstalledProducts::Enumerate();
  }
  mutable Utils::Sync::Event entered;
  Utils::Sync::Event release;
};

TEST_F(UpdaterTest, ClearAfterACancelledCheckWaitsForTheCheckTask) {
  auto installed = std::make_shared<BlockingProducts>();
  installed->Add("Tarvix 5", "5.5.7");
  server.SetDefault({200, SoapReply(UpdateElement(MakeUpdate("Tarvix 5", 5, 6, 0, 0)))});
  Freshet::FreshetSettings& process = Freshet::ProcessSettings();
  Freshets_Clear();
  process.productId = settings.productId;
  process.serverUrl = settings.serverUrl;
  {
    auto tasks = Freshet::MakeWorkerTasks(process, installed);
    Freshet::UpdateCheckModel model(*tasks, false, [] { return true; });
    model.Start();
    installed->entered.Wait();
    model.Cancel();
    ASSERT_EQ(model.Result(), Freshet::kDialogCancel);
  }  // the dialog is gone; its check runs on

  std::atomic<bool> cleared{false};
  std::thread host([&] {
    Freshets_Clear();
    cleared = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(cleared) << "Clear returned while the check still ran";
  installed->release.Set();
  host.join();
  EXPECT_TRUE(process.updates.empty()) << "the check published before Clear emptied the list";
  EXPECT_TRUE(process.productId.empty());
  Freshets_SetServerUrl("");
}

}  // namespace
}  // namespace ORV::Test
