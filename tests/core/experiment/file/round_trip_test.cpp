// A rich experiment saved and opened again.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/storage/relative_time.h"
#include "custom_traces/custom_trace_context.h"
#include "tests/core/experiment/file/file_fixture.h"

namespace ORV::Test {
namespace {

using ExperimentFileRoundTrip = ExperimentFileFixture;

struct Snapshot {
  std::array<std::vector<std::array<std::uint8_t, ZoneData::kStoredSize>>, kMaxCameras> zones;
  std::array<std::vector<MicroscopeData2>, kMaxCameras> microscope;
  std::vector<std::array<std::uint8_t, FMASL1600Data::kSize>> flow;
  std::vector<std::array<std::uint8_t, PMK4xData3::kSize>> pressure;
  std::vector<CalculationData> calculations;
  std::vector<ImageIndexRecord> images;
  std::vector<MarkerData2> markers;
  std::vector<ActionData> actions;
  std::array<std::uint32_t, kMaxCameras> zoneCount{};
  std::string title, description;
};

Snapshot Take(ExperimentData& data) {
  Snapshot s = data.Read([](const ExperimentContents& c) {
    Snapshot s;
    for (int i = 0; i < kMaxCameras; ++i) {
      s.zones[i] = StoredList<ZoneData::kStoredSize>(c.zoneData[i]);
      s.microscope[i].assign(c.microscopeData[i].begin(), c.microscopeData[i].end());
    }
    s.flow = StoredList<FMASL1600Data::kSize>(c.flowSamples);
    s.pressure = StoredList<PMK4xData3::kSize>(c.pressureSamples);
    s.calculations = c.calculations;
    s.images = c.indexImages;
    s.zoneCount = c.zoneCount;
    s.title = c.title;
    s.description = c.description;
    return s;
  });
  data.WithStores([&](MarkerStore& markers, ActionStore& actions) {
    for (std::size_t i = 0; i < markers.Count(); ++i) {
      MarkerData2 m = markers.Get(i);
      m.id = 0;
      s.markers.push_back(m);
    }
    for (std::size_t i = 0; i < actions.Count(); ++i) s.actions.push_back(actions.Get(i));
    return 0;
  });
  return s;
}

TEST_F(ExperimentFileRoundTrip, EveryListComesBack) {
  ASSERT_TRUE(data().AddCamera("cam-a"));
  ASSERT_TRUE(data().AddCamera("cam-b"));
  data().mode = kModeLive;
  data().startTick = 1000;
  data().lastSampleTime = 90000;
  data().Update([](ExperimentContents& c) {
    c.title = "Vessel \xC3\xA9 7";
    c.description = "two\nlines";
    c.zoneCount = {3, 2, 0, 0};
    for (int cam = 0; cam < 2; ++cam) {
      for (std::uint32_t i = 0; i < 5; ++i)
        c.zoneData[cam].push_back(MakeZone(1000 + i * 66, 3 - cam, 10.0f * cam + i));
      for (std::uint32_t i = 0; i < 4; ++i) {
        MicroscopeData2 m;
        m.time = 1000 + i;
        m.temperature = 36.5f + i;
        m.ir = static_cast<std::int32_t>(i) - 2;
        m.index = static_cast<std::uint32_t>(cam);
        c.microscopeData[cam].push_back(m);
      }
    }
    for (std::uint32_t i = 0; i < 7; ++i) {
      FMASL1600Data f;
      f.time = 1000 + i * 1000;
      f.flow = static_cast<std::int16_t>(-3 + static_cast<int>(i));
      f.index = static_cast<std::int32_t>(i);
      c.flowSamples.push_back(f);
      PMK4xData3 p;
      p.temperature = 37.0f + i;
      p.force = 1.5f * i;
      p.switch4 = static_cast<std::uint8_t>(i);
      c.pressureSamples.push_back(p);
    }
    CalculationData head;
    head.kind = CalculationData::kMean;
    head.traceKind = 3;
    head.zone = 1;
    head.value = 12.5;
    head.selectionStart = 1.0;
    head.selectionEnd = 2.0;
    head.comment = "head";
    head.count = 10;
    head.sd = 0.5;
    head.standardError = 0.1;
    CalculationData follower = head;
    follower.kind = CalculationData::kMaximum;
    follower.group = 0;
    follower.comment = "";
    CalculationData video = head;
    video.kind = CalculationData::kVideoMeasurement;
    video.group = 1;
    c.calculations = {head, follower, video};
    c.indexImages.push_back({{1, 2, 3, 4}, 2, 2, 1500});
    c.indexImages.push_back({{}, 0, 0, 1600});  // a gap
    c.indexImages.push_back({std::vector<std::uint8_t>(10000, 7), 100, 100, 1700});
    return 0;
  });
  data().WithStores([](MarkerStore& markers, ActionStore& actions) {
    markers.Put(0, {"one", 1200, 0, 0}, false);
    markers.Put(1, {"all", 1300, 0, 0}, false);  // a marker for every camera
    markers.Put(2, {"all", 1300, 1, 0}, false);
    markers.Put(3, {"two", 1400, 1, 0}, false);
    actions.Put(0, {1100, "Start"}, false);
    actions.Put(1, {2100, "Pressure 60"}, false);
    return 0;
  });
  {
    auto lock = clock_.Lock();
    ASSERT_EQ(clock_.Store().Put(0, {10, 20, 0, 5, 1}, false), 0);
    ASSERT_EQ(clock_.Store().Put(1, {30, 0, 5, 0, 11}, false), 0);
  }
  data().configuration->ExperimentValues = {8.0f, 1.25f, 2.25f, 3.25f, 4.25f};

  auto custom = std::make_shared<Traces::CustomTraces>();
  custom->Name = "Ratio";
  custom->Id = "ABC";
  custom->Code = "return IR / 2";
  const std::int32_t customId = data().AddCustomTrace(custom);
  ASSERT_GE(customId, kFirstCustomTraceIdentity);
  host_.windows = {{3, 1, {0, 2, 0, 0}, 1.5, 60.0}, {customId, 0, {1, 0, 0, 0}, 0.0, 30.0}};

  const Snapshot before = Take(data());
  ASSERT_EQ(Save("rich.tvx"), 1) << log_.Dump();

  // Opened into a record whose custom trace went (as in a new session), with
  // a clock store and calibration that the file replaces.
  std::filesystem::create_directory(dir_ / "other");
  RecordingConsumer consumer;
  auto other = NewRecord(dir_ / "other", consumer);
  {
    auto lock = clock_.Lock();
    clock_.Store().Reset();
  }
  data().configuration->ExperimentValues = {-1, -1, -1, -1, -1};
  FakeWindowHost openedHost;
  context_.windows = &openedHost;
  ASSERT_EQ(OpenExperiment(*other, dir_ / "rich.tvx", context_), 1) << log_.Dump();
  EXPECT_EQ(log_.Dump(), "");

  EXPECT_FALSE(other->modified);
  EXPECT_TRUE(other->opened);
  EXPECT_EQ(other->mode, kModeFile);
  EXPECT_EQ(other->startTick, 1000u);
  EXPECT_EQ(other->lastSampleTime, 90000u);
  const Snapshot after = Take(*other);
  for (int cam = 0; cam < kMaxCameras; ++cam) {
    EXPECT_EQ(after.zones[cam], before.zones[cam]) << cam;
    EXPECT_EQ(after.microscope[cam], before.microscope[cam]) << cam;
  }
  EXPECT_EQ(after.flow, before.flow);
  EXPECT_EQ(after.pressure, before.pressure);
  EXPECT_EQ(after.calculations, before.calculations);
  EXPECT_EQ(after.images, before.images);
  EXPECT_EQ(after.markers, before.markers);
  EXPECT_EQ(after.actions, before.actions);
  EXPECT_EQ(after.zoneCount, before.zoneCount);
  EXPECT_EQ(after.title, before.title);
  EXPECT_EQ(after.description, before.description);
  other->Read([&](const ExperimentContents& c) {
    EXPECT_EQ(c.fileCameraNames, (std::vector<std::string>{"Camera 1", "Camera 2"}));
    EXPECT_EQ(c.filePath, dir_ / "rich.tvx");
    EXPECT_EQ(c.name, "rich.tvx");
    return 0;
  });
  {
    auto lock = clock_.Lock();
    ASSERT_EQ(clock_.Store().Count(), 2u);
    EXPECT_EQ(clock_.Store().Get(0), (ClockSegment{10, 20, 0, 5, 1}));
    EXPECT_EQ(clock_.Store().Get(1), (ClockSegment{30, 0, 5, 0, 11}));
  }
  EXPECT_EQ(data().configuration->ExperimentValues, (std::array<float, 5>{8.0f, 1.25f, 2.25f, 3.25f, 4.25f}));

  // The windows come back; the custom trace is registered again and its
  // window shows the identity it got.
  ASSERT_EQ(openedHost.windows.size(), 2u);
  EXPECT_EQ(openedHost.windows[0].traceCode, 3);
  EXPECT_EQ(openedHost.windows[0].camera, 1);
  EXPECT_EQ(openedHost.windows[0].zones[1], 2);
  EXPECT_EQ(openedHost.windows[0].visibleStart, 1.5);
  EXPECT_EQ(openedHost.windows[0].visibleEnd, 60.0);
  const std::int32_t reopened = openedHost.windows[1].traceCode;
  ASSERT_GE(reopened, kFirstCustomTraceIdentity);
  const auto trace = other->GetCustomTrace(reopened);
  ASSERT_TRUE(trace);
  EXPECT_EQ(trace->GetTrace()->Name, "Ratio");
  EXPECT_EQ(trace->GetTrace()->Code, "return IR / 2");
  EXPECT_EQ(openedHost.windows[1].zones[0], 1);
}

}  // namespace
}  // namespace ORV::Test
