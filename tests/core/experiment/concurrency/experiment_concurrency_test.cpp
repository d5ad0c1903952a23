// The sampling thread appends to the experiment record while another thread
// reads it, registers receivers and opens and closes the backup streams.
// Run under ThreadSanitizer (make tsan) it must report no race.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <tuple>

#include "custom_traces/custom_trace_context.h"
#include "tests/core/experiment/experiment_fixture.h"

namespace ORV {
namespace {

// Counts calls; registered and removed by the reading thread while the
// sampling thread calls it.
class CountingConsumer : public ImageAnalysisConsumer, public PressureDataConsumer {
 public:
  void OnZoneValue(std::uint32_t, int, float, float, float, float, int) override { ++calls; }
  void OnMarkerAdded(const MarkerData2&) override { ++calls; }
  bool OnMarkerRemoved(std::uint32_t) override { return true; }
  void OnPressureData(const PMK4xData3&) override { ++calls; }
  std::atomic<std::size_t> calls{0};
};

class ExperimentConcurrency : public ORV::Test::ExperimentFixture {};

TEST_F(ExperimentConcurrency, AppendsWhileAnotherThreadReads) {
  constexpr std::uint32_t kRecords = 100000;
  ExperimentData& d = data();
  d.mode = kModeLive;
  for (const char* name : {"cam-A", "cam-B"}) ASSERT_TRUE(d.AddCamera(name));
  StartClock();
  ASSERT_TRUE(d.Streams().zone[0].Open(dir_ / "ZoneData_0.dta"));
  ASSERT_TRUE(d.Streams().pressure.Open(dir_ / "Pressure_0.dta"));
  // The sampling thread calls these receivers; this thread keeps the
  // fixture's own receiver from being called (its lists are not shared).
  d.RemoveImageAnalysisConsumer(&consumer_);
  d.RemovePressureConsumer(&consumer_);
  d.RemoveFlowConsumer(&consumer_);
  d.RemoveMicroscopeConsumer(&consumer_);
  d.SetApplicationHooks(nullptr);
  CountingConsumer steady;
  d.AddImageAnalysisConsumer(&steady);
  d.AddPressureConsumer(&steady);

  std::atomic<bool> done{false};
  std::uint32_t markers = 0;
  std::thread sampler([&] {
    for (std::uint32_t i = 1; i <= kRecords; ++i) {
      switch (i % 5) {
        case 0:
          d.AddZoneDataBatch(ORV::Test::MakeBatch({ORV::Test::MakeZone(i, 2, static_cast<float>(i))}),
                             static_cast<int>(i % 2));
          break;
        case 1: {
          PMK4xData3 p;
          p.time = i;
          p.p1 = static_cast<float>(i);
          d.AddPressureSample(p);
          break;
        }
        case 2: {
          FMASL1600Data f;
          f.time = i;
          f.flow = static_cast<std::int16_t>(i % 1000);
          d.AddFlowSample(f);
          break;
        }
        case 3: {
          MicroscopeData2 m;
          m.time = i;
          m.ir = static_cast<std::int32_t>(i);
          d.AddMicroscopeSample(m, 1);
          break;
        }
        case 4:
          if (i % 2000 == 4) {
            d.AddMarker("M" + std::to_string(i), i, -1);
            ++markers;
          } else if (i % 500 == 4) {
            CalculationData c;
            c.value = i;
            d.AddCalculationData(c);
            auto trace = std::make_shared<Traces::CustomTraces>();
            trace->Name = "T" + std::to_string(i);
            trace->Code = "return 1";
            d.AddCustomTrace(trace);
          } else {
            const std::uint8_t image[4] = {1, 2, 3, 4};
            d.AddExtraData(i, 2, 2, 4, image);
          }
          break;
      }
    }
    done = true;
  });

  CountingConsumer passing;
  std::size_t reads = 0;
  std::size_t lastPressureCount = 0;
  while (!done) {
    ++reads;
    // Counts never shrink, and the newest record of each list is whole.
    const auto [pressureCount, pressureOk, zoneOk, microscopeOk] = d.Read([](const ExperimentContents& c) {
      const bool p =
          c.pressureSamples.empty() || c.pressureSamples.back().p1 == static_cast<float>(c.pressureSamples.back().time);
      const bool z =
          c.zoneData[0].empty() || c.zoneData[0].back().outerLeft[0] == static_cast<float>(c.zoneData[0].back().time);
      const bool m = c.microscopeData[1].empty() ||
                     c.microscopeData[1].back().ir == static_cast<std::int32_t>(c.microscopeData[1].back().time);
      return std::tuple{c.pressureSamples.size(), p, z, m};
    });
    EXPECT_GE(pressureCount, lastPressureCount);
    lastPressureCount = pressureCount;
    EXPECT_TRUE(pressureOk && zoneOk && microscopeOk);
    EXPECT_TRUE(pressureCount == 0 || d.HasData());
    EXPECT_GE(d.GetLastSampleTime(-1), d.startTick.load());
    EXPECT_EQ(d.CameraCount(), 2u);
    if (const std::size_t n = d.MarkerCount(); n > 0) {
      EXPECT_EQ(d.GetMarker(n - 1).text.front(), 'M');
    }
    EXPECT_EQ(d.Read([](const ExperimentContents& c) { return c.lastPressure.index >= -1; }), true);
    for (const auto& [identity, name] : d.GetCustomTraces()) EXPECT_GE(identity, kFirstCustomTraceIdentity) << name;
    d.GetCustomTrace(kFirstCustomTraceIdentity);

    // Receivers come and go; backup streams close and reopen.
    if (reads % 2 == 0) {
      d.AddImageAnalysisConsumer(&passing);
      d.AddPressureConsumer(&passing);
    } else {
      d.RemoveImageAnalysisConsumer(&passing);
      d.RemovePressureConsumer(&passing);
    }
    if (reads % 50 == 0) {
      d.Streams().pressure.Close();
      ASSERT_TRUE(d.Streams().pressure.Open(dir_ / "Pressure_0.dta"));
    }
  }
  sampler.join();
  d.RemoveImageAnalysisConsumer(&passing);
  d.RemovePressureConsumer(&passing);

  d.Read([&](const ExperimentContents& c) {
    EXPECT_EQ(c.pressureSamples.size(), kRecords / 5);
    EXPECT_EQ(c.flowSamples.size(), kRecords / 5);
    EXPECT_EQ(c.zoneData[0].size() + c.zoneData[1].size(), kRecords / 5);
    EXPECT_EQ(c.microscopeData[1].size(), kRecords / 5);
    // Each sample links to the newest zone record of camera 0 when it came.
    EXPECT_TRUE(std::is_sorted(c.pressureSamples.begin(), c.pressureSamples.end(),
                               [](const PMK4xData3& a, const PMK4xData3& b) { return a.index < b.index; }));
    EXPECT_EQ(c.pressureSamples.back().index, static_cast<std::int32_t>(c.zoneData[0].size()) - 2);
    return 0;
  });
  EXPECT_EQ(d.MarkerCount(), 2 * markers);
  // Zone values (2 per record), pressure samples and markers (one per camera).
  EXPECT_EQ(steady.calls.load(), 2 * (kRecords / 5) + kRecords / 5 + 2 * markers);
  EXPECT_GT(reads, 0u);
}

}  // namespace
}  // namespace ORV
