// The actions the experiment record hands the application: every one goes to
// the action sheet, and while the record holds an experiment (being recorded,
// stopped, or read from a file) it is also kept in the experiment's action
// store.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/experiment/experiment_data.h"
#include "shell/app/pelmora_app.h"
#include "tests/shell/app/app_test_fixture.h"
#include "tests/support/test_world.h"

namespace ORV::Shell {
namespace {

TEST(ApplicationActions, GoToTheSheetAndAreKeptWhileTheRecordHoldsAnExperiment) {
  ORV::Test::AppSandbox sandbox;
  ORV::Test::TempDir stores;
  ExperimentData experiment{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  ASSERT_TRUE(experiment.OpenStores(stores.path()));
  CPelmoraApp app(AppWorld{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock(), &experiment}, AppOptions{});
  // The sheet as the frame hands it in.
  struct ListSheet final : ActionSheet {
    ActionViewRows* Rows() override { return nullptr; }
    void Add(std::uint32_t time, const std::string& text) override { rows.emplace_back(time, text); }
    std::vector<std::pair<std::uint32_t, std::string>> rows;
  } listSheet;
  app.UseActionSheet(&listSheet);
  std::vector<std::pair<std::uint32_t, std::string>>& sheet = listSheet.rows;
  experiment.SetApplicationHooks(&app);

  experiment.mode = kModeNone;
  experiment.AddMarker("live", 1000, 0);  // no experiment yet
  experiment.mode = kModeLive;
  experiment.AddMarker("recorded", 2000, 0);
  app.AddAction(2500, "Task 1 started");
  PMK4xData3 sample;
  sample.time = 2600;
  experiment.AddPressureSample(sample);
  ASSERT_TRUE(experiment.HasData());
  experiment.mode = kModeNone;  // the collection stopped; its data stay
  experiment.AddMarker("after the stop", 3000, 0);
  experiment.mode = kModeFile;
  experiment.AddMarker("reviewed", 4000, 0);

  EXPECT_EQ(
      sheet,
      (std::vector<std::pair<std::uint32_t, std::string>>{
          {1000, "live"}, {2000, "recorded"}, {2500, "Task 1 started"}, {3000, "after the stop"}, {4000, "reviewed"}}));
  const auto stored = experiment.WithStores([](MarkerStore&, ActionStore& actions) {
    std::vector<std::pair<std::uint32_t, std::string>> all;
    for (std::size_t i = 0; i < actions.Count(); ++i) all.emplace_back(actions.Get(i).time, actions.Get(i).text);
    return all;
  });
  EXPECT_EQ(stored, (std::vector<std::pair<std::uint32_t, std::string>>{
                        {2000, "recorded"}, {2500, "Task 1 started"}, {3000, "after the stop"}, {4000, "reviewed"}}));
  experiment.SetApplicationHooks(nullptr);
}

}  // namespace
}  // namespace ORV::Shell
