// The actions the experiment record hands the application: every one goes to
// the action sheet, and while a collection records it is also kept in the
// experiment's action store.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/experiment/experiment_data.h"
#include "shell/app/pelmora_app.h"
#include "tests/shell/app/app_test_fixture.h"

namespace ORV::Shell {
namespace {

TEST(ApplicationActions, GoToTheSheetAndAreKeptOnlyWhileCollecting) {
  ORV::Test::AppSandbox sandbox;
  ORV::Test::TempDir stores;
  ExperimentData experiment;
  ASSERT_TRUE(experiment.OpenStores(stores.path()));
  AppOptions options;
  options.useSession = false;
  options.experiment = &experiment;
  CPelmoraApp app(std::move(options));
  std::vector<std::pair<std::uint32_t, std::string>> sheet;
  app.addAction = [&](std::uint32_t time, const std::string& text) { sheet.emplace_back(time, text); };
  experiment.SetApplicationHooks(&app);

  experiment.mode = kModeNone;
  experiment.AddMarker("live", 1000, 0);
  experiment.mode = kModeLive;
  experiment.AddMarker("recorded", 2000, 0);
  app.AddAction(2500, "Task 1 started");

  EXPECT_EQ(sheet, (std::vector<std::pair<std::uint32_t, std::string>>{
                       {1000, "live"}, {2000, "recorded"}, {2500, "Task 1 started"}}));
  const auto stored = experiment.WithStores([](MarkerStore&, ActionStore& actions) {
    std::vector<std::pair<std::uint32_t, std::string>> all;
    for (std::size_t i = 0; i < actions.Count(); ++i) all.emplace_back(actions.Get(i).time, actions.Get(i).text);
    return all;
  });
  EXPECT_EQ(stored, (std::vector<std::pair<std::uint32_t, std::string>>{{2000, "recorded"}, {2500, "Task 1 started"}}));
  experiment.SetApplicationHooks(nullptr);
}

}  // namespace
}  // namespace ORV::Shell
