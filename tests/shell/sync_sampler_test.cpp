#include "shell/sync_sampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "instruments/data_holder.h"
#include "tests/shell/sampler_fakes.h"

namespace ORV {
namespace {

using Test::MakeZoneRecord;
using Test::Stored;

// ---- mode, period and tick wait ----

struct TimingCase {
  const char* name;
  SamplerSettings settings;
  SamplerTiming expected;
};

TEST(SyncSamplerTiming, ModePeriodAndTickWaitFollowTheSettings) {
  auto sync = [](SamplerSettings s) {
    s.synchronised = true;
    return s;
  };
  const TimingCase cases[] = {
      {"mode 1 at index 1 (5 Hz)", sync({.frequencyIndex = 1}), {1, 200, 200}},
      {"mode 1 at index 0 (1 Hz)", sync({.frequencyIndex = 0}), {1, 1000, 1000}},
      {"mode 1 at 170 Hz rounds", sync({.frequencyIndex = 4}), {1, 6, 6}},
      {"mode 1 at 250 Hz", sync({.frequencyIndex = 5}), {1, 4, 4}},
      {"an index outside the table counts as 3", sync({.frequencyIndex = 9}), {1, 67, 67}},
      {"a negative index counts as 3", sync({.frequencyIndex = -1}), {1, 67, 67}},
      {"multi interface connected", sync({.multiPresent = true, .multiConnected = true}), {2, 100, 100}},
      {"multi interface not connected", sync({.multiPresent = true}), {2, 1000, 1000}},
      {"flow meter paces before the multi interface",
       sync({.multiPresent = true, .flowPresent = true}),
       {3, 1000, 1000}},
      {"not synchronised, kind 0", {.frequencyIndex = 2}, {0, 100, 100}},
      {"not synchronised, Lumenera", {.cameraKind = 1}, {0, 6, 90}},
      {"not synchronised, XIMEA", {.cameraKind = 2}, {0, 5, 75}},
      {"not synchronised, XIMEA with a flow meter", {.cameraKind = 2, .flowPresent = true}, {0, 5, 75}},
  };
  for (const TimingCase& c : cases) EXPECT_EQ(SyncSampler::ChooseTiming(c.settings), c.expected) << c.name;
}

TEST(SyncSamplerFlow, ConversionTruncatesSaturatesAndMapsNanToZero) {
  const struct {
    double in;
    std::int16_t out;
  } cases[] = {{12.9, 12},
               {-12.9, -12},
               {0.0, 0},
               {1e9, 32767},
               {-1e9, -32768},
               {32767.5, 32767},
               {std::nan(""), 0},
               {std::numeric_limits<double>::infinity(), 32767},
               {-std::numeric_limits<double>::infinity(), -32768}};
  for (const auto& c : cases) EXPECT_EQ(SaturatedFlow(c.in), c.out) << c.in;
}

// ---- ticks ----

class SyncSamplerTick : public ::testing::Test {
 protected:
  void Configure(const SamplerSettings& s) { sampler_.Configure(s); }
  void Push(int camera, std::int32_t tag, bool complete = true) { zones_->Push(camera, MakeZoneRecord(tag, complete)); }
  void PutPressure(float flow) {
    PMK4xData3 sample;
    sample.flow = flow;
    holder_->Put(sample);
  }
  // One tick of the metronome after the experiment clock moved on by the
  // tick wait (while the clock runs; it stands otherwise).
  void Tick() {
    if (sink_.running) sink_.now += static_cast<std::uint32_t>(sampler_.Timing().tickWaitMs);
    sampler_.Tick();
  }
  std::size_t Pending(int camera) {
    std::lock_guard lock(zones_->mutex);
    return zones_->batches[static_cast<std::size_t>(camera)].pending.size();
  }
  void PostFlow(std::int16_t flow) {
    FMASL1600Data f;
    f.flow = flow;
    const SampleRecord record = f;
    sampler_.OnNewSample(kDeviceFlowMeter, &record);
  }
  void PostMicroscope(std::uint32_t index, std::int32_t ir) {
    MicroscopeSample m;
    m.microscope = index;
    m.setting = ir;
    const SampleRecord record = m;
    sampler_.OnNewSample(kDeviceMicroscope, &record);
  }

  ::ORV::Test::RecordingSink sink_;
  std::shared_ptr<DataHolder<PMK4xData3>> holder_ = std::make_shared<DataHolder<PMK4xData3>>();
  HolderPressureSource<DataHolder<PMK4xData3>> pressure_{holder_};
  std::shared_ptr<ZoneDataHolderQueue> zones_ = std::make_shared<ZoneDataHolderQueue>();
  SyncSampler sampler_{sink_, pressure_, zones_};
};

TEST_F(SyncSamplerTick, LumeneraStoresTheNewestFifteenSpreadOverTheTick) {
  Configure({.cameraKind = 1});
  for (int i = 0; i < 20; ++i) Push(0, i);
  Tick();
  const std::uint32_t t = 1000 + 90;
  std::vector<Stored> expected;
  for (int i = 5; i < 20; ++i) expected.push_back({Stored::Zone, 0, t - static_cast<std::uint32_t>(19 - i) * 6, i});
  EXPECT_EQ(sink_.Take(), expected);
  EXPECT_EQ(sampler_.DroppedZoneRecords(), 5u);
  EXPECT_EQ(Pending(0), 0u);
}

TEST_F(SyncSamplerTick, KindZeroStoresOnlyTheNewestOfACompleteRun) {
  Configure({.frequencyIndex = 2});
  for (int i = 0; i < 20; ++i) Push(0, i);
  Tick();
  EXPECT_EQ(sink_.Take(), (std::vector<Stored>{{Stored::Zone, 0, 1100, 19}}));
  EXPECT_EQ(sampler_.DroppedZoneRecords(), 19u);
}

TEST_F(SyncSamplerTick, AnIncompleteRecordStopsTheTaking) {
  Configure({.cameraKind = 2});
  Push(0, 1);
  Push(0, 2);
  Push(0, 3, false);
  Push(0, 4);
  Tick();
  EXPECT_EQ(sink_.Take(), (std::vector<Stored>{{Stored::Zone, 0, 1075 - 5, 1}, {Stored::Zone, 0, 1075, 2}}));
  EXPECT_EQ(Pending(0), 2u);
  Tick();  // still blocked by the incomplete record
  EXPECT_TRUE(sink_.Take().empty());
}

TEST_F(SyncSamplerTick, ModeZeroSpreadsPressureReadingsOverTheWholeTick) {
  Configure({.cameraKind = 1});
  for (int i = 0; i < 18; ++i) PutPressure(static_cast<float>(i));
  Tick();
  const std::vector<Stored> first = sink_.Take();
  ASSERT_EQ(first.size(), 18u);
  const std::uint32_t t = 1090;
  EXPECT_EQ(first.front().time, t - 90);
  for (std::size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(first[i].tag, static_cast<std::int32_t>(i));  // in the order read
    EXPECT_EQ(first[i].time, t - 90 + 90 * i / 18);
    if (i > 0) {
      EXPECT_GT(first[i].time, first[i - 1].time);
    }
    EXPECT_LT(first[i].time, t);
  }
  PutPressure(100.0f);
  Tick();
  EXPECT_EQ(sink_.Take(), (std::vector<Stored>{{Stored::Pressure, -1, t, 100}}));
}

TEST_F(SyncSamplerTick, ModeZeroDiscardsPressureWhileTheClockStands) {
  Configure({.frequencyIndex = 2});
  sink_.running = false;
  for (int i = 0; i < 5; ++i) PutPressure(1.0f);
  Tick();
  EXPECT_TRUE(sink_.Take().empty());
  EXPECT_EQ(holder_->QueueSize(), 0u);
  EXPECT_EQ(sampler_.LastTickTime(), 1000u) << "the tick stands with the clock";
  EXPECT_EQ(sampler_.TickCount(), 1u);
}

TEST_F(SyncSamplerTick, ModeZeroStoresEachSourceAsItArrives) {
  Configure({.frequencyIndex = 2, .flowPresent = true});
  sink_.cameras = 2;
  PostFlow(7);
  PostMicroscope(1, 3);
  Push(1, 5);
  Tick();
  EXPECT_EQ(
      sink_.Take(),
      (std::vector<Stored>{{Stored::Flow, -1, 1100, 7}, {Stored::Microscope, 1, 1100, 3}, {Stored::Zone, 1, 1100, 5}}));
  Tick();  // nothing new
  EXPECT_TRUE(sink_.Take().empty());
}

TEST_F(SyncSamplerTick, ModeOneWaitsForCameraZero) {
  Configure({.synchronised = true, .frequencyIndex = 2, .microscopePresent = true});
  sink_.cameras = 2;
  Push(1, 8);
  PostMicroscope(0, 3);  // microscope 1 never reports
  Tick();
  EXPECT_TRUE(sink_.Take().empty());

  Push(0, 1);
  Push(1, 9);
  Tick();
  const std::uint32_t t = 1200;
  EXPECT_EQ(sink_.Take(), (std::vector<Stored>{{Stored::Zone, 0, t, 1},
                                               {Stored::Zone, 1, t, 9},
                                               {Stored::Microscope, 0, t, 3},
                                               {Stored::Microscope, 1, t, 0}}));
  Tick();  // camera 0's flag was cleared
  EXPECT_TRUE(sink_.Take().empty());
}

TEST_F(SyncSamplerTick, ModeTwoStoresOnEachNewPressureReading) {
  Configure({.synchronised = true, .multiPresent = true, .multiConnected = true, .microscopePresent = true});
  Push(0, 3);
  Tick();
  EXPECT_TRUE(sink_.Take().empty());
  PutPressure(2.0f);
  PutPressure(6.0f);
  Push(0, 4);
  PostMicroscope(0, 11);
  Tick();
  EXPECT_EQ(sink_.Take(),
            (std::vector<Stored>{
                {Stored::Pressure, -1, 1200, 6}, {Stored::Zone, 0, 1200, 4}, {Stored::Microscope, 0, 1200, 11}}));
  EXPECT_EQ(holder_->QueueSize(), 0u);
}

TEST_F(SyncSamplerTick, ModeThreeStoresNothingWithoutANewFlowReading) {
  Configure({.synchronised = true, .flowPresent = true});
  Push(0, 1);
  Tick();
  EXPECT_TRUE(sink_.Take().empty());
  PostFlow(-5);
  Push(0, 2);
  Tick();
  EXPECT_EQ(sink_.Take(), (std::vector<Stored>{{Stored::Flow, -1, 3000, -5}, {Stored::Zone, 0, 3000, 2}}));
  Push(0, 3);
  Tick();  // the flag was cleared
  EXPECT_TRUE(sink_.Take().empty());
}

TEST_F(SyncSamplerTick, RecordsWithMoreCamerasThanBatchesTouchOnlyTheFirstFour) {
  Configure({.frequencyIndex = 2, .microscopePresent = true});
  sink_.cameras = 6;
  for (int c = 0; c < kMaxCameras; ++c) Push(c, c);
  PostMicroscope(4, 1);
  PostMicroscope(5, 1);
  Tick();
  const std::vector<Stored> stored = sink_.Take();
  ASSERT_EQ(stored.size(), 4u);
  for (const Stored& s : stored) {
    EXPECT_EQ(s.kind, Stored::Zone);
    EXPECT_LT(s.camera, kMaxCameras);
  }
}

// ---- the experiment clock ----

// Ticks come late, twice in a row (the metronome catches up), and a resumed
// clock stands a moment below the last tick's time: every stamp is the
// clock's, the readings and frames a tick hands over are spread over the time
// since the previous tick, and no stamp goes back.
TEST_F(SyncSamplerTick, StampsComeFromTheExperimentClockAndNeverGoBack) {
  Configure({.cameraKind = 1});  // period 6 ms, 15 frames a tick
  const auto tickAt = [&](std::uint32_t now, int frames, int readings) {
    for (int i = 0; i < frames; ++i) Push(0, i);
    for (int i = 0; i < readings; ++i) PutPressure(static_cast<float>(i));
    sink_.now = now;
    sampler_.Tick();
    return sink_.Take();
  };
  const auto times = [](const std::vector<Stored>& stored, Stored::Kind kind) {
    std::vector<std::uint32_t> out;
    for (const Stored& s : stored)
      if (s.kind == kind) out.push_back(s.time);
    return out;
  };
  // The first tick after the reset: frames one period apart up to the
  // clock's time, readings over the step before it.
  std::vector<Stored> stored = tickAt(5000, 3, 2);
  EXPECT_EQ(times(stored, Stored::Zone), (std::vector<std::uint32_t>{4988, 4994, 5000}));
  EXPECT_EQ(times(stored, Stored::Pressure), (std::vector<std::uint32_t>{4910, 4955}));
  // 400 ms late: the clock's time, not one tick wait on.
  stored = tickAt(5400, 2, 4);
  EXPECT_EQ(times(stored, Stored::Zone), (std::vector<std::uint32_t>{5394, 5400}));
  EXPECT_EQ(times(stored, Stored::Pressure), (std::vector<std::uint32_t>{5000, 5100, 5200, 5300}));
  // The catch-up tick 3 ms later: its frames lie between the two ticks.
  stored = tickAt(5403, 3, 1);
  EXPECT_EQ(times(stored, Stored::Zone), (std::vector<std::uint32_t>{5401, 5402, 5403}));
  EXPECT_EQ(times(stored, Stored::Pressure), (std::vector<std::uint32_t>{5400}));
  // The clock stands below the last tick (a resume): the last tick's time.
  stored = tickAt(5350, 1, 1);
  EXPECT_EQ(times(stored, Stored::Zone), (std::vector<std::uint32_t>{5403}));
  EXPECT_EQ(times(stored, Stored::Pressure), (std::vector<std::uint32_t>{5403}));
  EXPECT_EQ(sampler_.LastTickTime(), 5403u);
}

// ---- sample messages ----

TEST_F(SyncSamplerTick, SampleMessagesOutsideTheExperimentAreIgnored) {
  Configure({.frequencyIndex = 2});  // no flow meter, no multi interface
  sink_.cameras = 2;
  PostMicroscope(2, 1);            // beyond the experiment's cameras
  PostMicroscope(0xFFFFFFFFu, 1);  // -1 as sent
  PostFlow(3);                     // no flow meter
  sampler_.OnNewSample(kDeviceMultiInterface, nullptr);
  sampler_.OnNewSample(kDeviceMicroscope, nullptr);
  const SampleRecord heat = HeatControllerSample{};
  sampler_.OnNewSample(kDeviceHeatController, &heat);
  Tick();
  EXPECT_TRUE(sink_.Take().empty());
}

TEST_F(SyncSamplerTick, OnlyTheNewestCachedValueIsStored) {
  Configure({.frequencyIndex = 2, .multiPresent = true, .flowFromMulti = true});
  PutPressure(std::nanf(""));
  sampler_.OnNewSample(kDeviceMultiInterface, nullptr);
  PutPressure(-70000.0f);
  sampler_.OnNewSample(kDeviceMultiInterface, nullptr);
  holder_->ClearQueue();
  Tick();
  EXPECT_EQ(sink_.Take(), (std::vector<Stored>{{Stored::Flow, -1, 1100, -32768}}));
}

}  // namespace
}  // namespace ORV
