// The trace view's live road with producer threads: every sample of four
// channels fed at once is plotted exactly once, the user-interface thread
// plots while the producers keep queueing, and a view destroyed while its
// producers run is never called afterwards.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "tests/views/view_fixture.h"

namespace ORV::Views::Test {
namespace {

using TraceViewThreadsTest = ViewFixture;

constexpr std::uint32_t kSamples = 50000;

// A custom trace of every channel plots a point per sample of each.
std::int32_t CountingTrace(ExperimentData& data) {
  auto definition = std::make_shared<Traces::CustomTraces>();
  definition->Name = "Any";
  definition->ScriptType = 2;
  definition->Code = "return current_time";
  return data.AddCustomTrace(definition);
}

TEST_F(TraceViewThreadsTest, FourProducersEverySamplePlottedOnce) {
  const std::int32_t code = CountingTrace(data());
  ASSERT_GE(code, 220);
  auto view = MakeView();
  view->OnZoneCreated(1, 0);
  view->ShowTrace(code);
  ASSERT_EQ(view->SelectedZone(0), 1);
  graph_.points.clear();

  std::atomic<int> running{4};
  std::vector<std::thread> producers;
  // Times start at 1: a zone value at time 0 is never plotted.
  producers.emplace_back([&] {
    for (std::uint32_t i = 1; i <= kSamples; ++i) view->OnZoneValue(i, 0, 10, 50, 20, 40, 0);
    --running;
  });
  producers.emplace_back([&] {
    PMK4xData3 s;
    for (std::uint32_t i = 1; i <= kSamples; ++i) {
      s.time = i;
      view->OnPressureData(s);
    }
    --running;
  });
  producers.emplace_back([&] {
    FMASL1600Data f;
    for (std::uint32_t i = 1; i <= kSamples; ++i) {
      f.time = i;
      view->OnFlowData(f);
    }
    --running;
  });
  producers.emplace_back([&] {
    for (std::uint32_t i = 1; i <= kSamples; ++i) view->OnMicroscopeData(MicroscopeSample{i, 37.0f, 1, 0});
    --running;
  });
  // The user-interface thread drains while the producers run.
  while (running > 0) Drain(*view);
  for (std::thread& t : producers) t.join();
  Drain(*view);

  EXPECT_EQ(graph_.points.size(), 4u * kSamples);
  EXPECT_EQ(posts_->Size(), 0u);
}

// The producers of all four receiver lists go through the experiment
// record, as the sampling threads and the camera windows do (with a pause
// between samples, as a sampling thread has: back-to-back readers would
// keep a view from ever registering); views come and go meanwhile. A view
// removed from the record is never called again (AddressSanitizer reports a
// call into a freed view).
TEST_F(TraceViewThreadsTest, ViewsDestroyedWhileProducersRun) {
  data().RemoveImageAnalysisConsumer(&consumer_);
  data().RemovePressureConsumer(&consumer_);
  data().RemoveFlowConsumer(&consumer_);
  data().RemoveMicroscopeConsumer(&consumer_);
  StartClock();  // microscope samples reach the receivers only while it runs
  std::atomic<bool> stop{false};
  std::vector<std::thread> producers;
  producers.emplace_back([&] {
    for (std::uint32_t i = 1; !stop; ++i) {
      data().ForEachImageAnalysisConsumer(
          [&](ImageAnalysisConsumer& consumer) { consumer.OnZoneValue(i, 0, 10, 50, 20, 40, 0); });
      std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
  });
  producers.emplace_back([&] {
    MicroscopeData2 record;
    for (std::uint32_t i = 1; !stop; ++i) {
      record.time = i;
      data().AddMicroscopeSample(record, 0);
      std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
  });
  producers.emplace_back([&] {
    PMK4xData3 s;
    for (std::uint32_t i = 1; !stop; ++i) {
      s.time = i;
      data().AddPressureSample(s);
      std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
  });
  producers.emplace_back([&] {
    FMASL1600Data f;
    for (std::uint32_t i = 1; !stop; ++i) {
      f.time = i;
      data().AddFlowSample(f);
      std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
  });
  for (int round = 0; round < 100; ++round) {
    auto view = std::make_unique<CPelmoraView>(ViewParams());
    view->AttachGraph(&graph_, 0, false);
    view->ShowTrace(11);
    Drain(*view);
    view.reset();
    posts_->Take();  // posts for the gone view are dropped by its window
    graph_.calls.clear();
    graph_.points.clear();
  }
  stop = true;
  for (std::thread& t : producers) t.join();
  SUCCEED();
}

}  // namespace
}  // namespace ORV::Views::Test
