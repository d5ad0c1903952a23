// From the driver's worker to the experiment record: a flow reading posted
// through a sample inbox, a pressure reading in the data holder and a zone
// record from a camera window reach the record on one tick, stamped with the
// experiment clock's time at that tick.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "instruments/data_holder.h"
#include "instruments/sample_delivery.h"
#include "shell/sampler_adapters.h"
#include "shell/sync_sampler.h"
#include "tests/core/experiment/experiment_fixture.h"

namespace ORV {
namespace {

class PostedMessages final : public OS::MessageTarget {
 public:
  struct Message {
    std::uint32_t message;
    OS::WPARAM wParam;
    OS::LPARAM lParam;
  };
  bool PostMessage(std::uint32_t message, OS::WPARAM wParam, OS::LPARAM lParam) override {
    messages.push_back({message, wParam, lParam});
    return true;
  }
  std::vector<Message> messages;
};

class SamplerExperimentPath : public Test::ExperimentFixture {};

TEST_F(SamplerExperimentPath, OneTickStoresEverySourceWithTheTickTime) {
  data().mode = kModeLive;
  ASSERT_TRUE(data().AddCamera("camera-a"));
  StartClock();

  ExperimentSamplerSink sink(data());
  auto holder = std::make_shared<DataHolder<PMK4xData3>>();
  HolderPressureSource<DataHolder<PMK4xData3>> pressure(holder);
  auto zones = std::make_shared<ZoneDataHolderQueue>();
  SyncSampler sampler(sink, pressure, zones);
  sampler.Configure({.frequencyIndex = 2, .flowPresent = true});

  // The flow worker posts its reading; the frame's handler takes the copy.
  auto frame = std::make_shared<PostedMessages>();
  SampleInbox inbox(frame);
  FMASL1600Data flow;
  flow.flow = -40;
  ASSERT_TRUE(inbox.PostSample(kDeviceFlowMeter, flow));
  ASSERT_EQ(frame->messages.size(), 1u);
  const auto& posted = frame->messages[0];
  ASSERT_EQ(posted.message, WM_NEW_SAMPLE);
  const std::optional<SampleRecord> copy = inbox.TakeRecord(posted.lParam);
  sampler.OnNewSample(static_cast<std::uint32_t>(posted.wParam), copy ? &*copy : nullptr);

  PMK4xData3 reading;
  reading.p1 = 60.0f;
  holder->Put(reading);
  zones->Push(0, ::ORV::Test::MakeZone(0, 2));
  tick_.Advance(250);
  sampler.Tick();

  const std::uint32_t t = data().ExperimentClock().Now();
  ASSERT_EQ(t, 100000u + 250u);
  data().Read([&](const ExperimentContents& c) {
    ASSERT_EQ(c.zoneData[0].size(), 1u);
    EXPECT_EQ(c.zoneData[0][0].time, t);
    ASSERT_EQ(c.pressureSamples.size(), 1u);
    EXPECT_EQ(c.pressureSamples[0].time, t - 100);  // the only reading of the tick starts its span
    EXPECT_EQ(c.pressureSamples[0].p1, 60.0f);
    ASSERT_EQ(c.flowSamples.size(), 1u);
    EXPECT_EQ(c.flowSamples[0].time, t);
    EXPECT_EQ(c.flowSamples[0].flow, -40);
  });
}

}  // namespace
}  // namespace ORV
