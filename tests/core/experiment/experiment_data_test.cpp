// The experiment record: what each addition stores, backs up and hands on in
// each mode, markers, calculation comments, cameras and index images.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "core/experiment/session.h"
#include "platform/os/folders.h"
#include "tests/core/experiment/experiment_fixture.h"
#include "tests/support/hand_clock.h"
#include "tests/support/test_world.h"

namespace ORV {
namespace {

using ORV::Test::ExperimentFixture;
using ORV::Test::MakeBatch;
using ORV::Test::MakeZone;
using ORV::Test::RecordingConsumer;
using ORV::Test::ZoneCall;

std::vector<std::uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Opens every stream of the record in `folder`, one file per stream.
void OpenAllStreams(BackupStreams& s, const std::string& folder) {
  for (int c = 0; c < kMaxCameras; ++c) {
    ASSERT_TRUE(s.zone[c].Open(folder + "/ZoneData_" + std::to_string(c) + ".dta"));
    ASSERT_TRUE(s.microscope[c].Open(folder + "/Microscope_" + std::to_string(c) + ".dta"));
  }
  ASSERT_TRUE(s.marker.Open(folder + "/Marker_0.dta"));
  ASSERT_TRUE(s.flow.Open(folder + "/Flow_0.dta"));
  ASSERT_TRUE(s.pressure.Open(folder + "/Pressure_0.dta"));
  ASSERT_TRUE(s.calculation.Open(folder + "/DataPadV2_0.dta"));
  ASSERT_TRUE(s.indexImage.Open(folder + "/ImageIndex_0.dta"));
}

// Bytes written to all streams of a folder.
std::size_t StreamBytes(const std::string& folder) {
  std::size_t total = 0;
  for (const char* name : {"Marker_0", "Flow_0", "Pressure_0", "DataPadV2_0", "ImageIndex_0"})
    total += FileBytes(folder + "/" + name + ".dta").size();
  for (int c = 0; c < kMaxCameras; ++c) {
    total += FileBytes(folder + "/ZoneData_" + std::to_string(c) + ".dta").size();
    total += FileBytes(folder + "/Microscope_" + std::to_string(c) + ".dta").size();
  }
  return total;
}

// Records held by the record of every kind an addition can add.
std::size_t HeldRecords(ExperimentData& d) {
  return d.MarkerCount() + d.Read([](const ExperimentContents& c) {
    std::size_t n = c.flowSamples.size() + c.pressureSamples.size() + c.calculations.size() + c.indexImages.size();
    for (int cam = 0; cam < kMaxCameras; ++cam) n += c.zoneData[cam].size() + c.microscopeData[cam].size();
    return n;
  });
}

// ---- mode rules ----

enum class Add { Zones, Pressure, Flow, Microscope, Marker, Calculation, IndexImage };

const char* Name(Add a) {
  switch (a) {
    case Add::Zones:
      return "zones";
    case Add::Pressure:
      return "pressure";
    case Add::Flow:
      return "flow";
    case Add::Microscope:
      return "microscope";
    case Add::Marker:
      return "marker";
    case Add::Calculation:
      return "calculation";
    case Add::IndexImage:
      return "index image";
  }
  return "?";
}

constexpr std::uint32_t kSampleTime = 4242;

void Perform(ExperimentData& d, Add a) {
  switch (a) {
    case Add::Zones:
      d.AddZoneDataBatch(MakeBatch({MakeZone(kSampleTime, 2)}), 1);
      break;
    case Add::Pressure: {
      PMK4xData3 s;
      s.time = kSampleTime;
      d.AddPressureSample(s);
      break;
    }
    case Add::Flow: {
      FMASL1600Data s;
      s.time = kSampleTime;
      d.AddFlowSample(s);
      break;
    }
    case Add::Microscope: {
      MicroscopeData2 r;
      r.time = kSampleTime;
      d.AddMicroscopeSample(r, 1);
      break;
    }
    case Add::Marker:
      d.AddMarker("Mark", kSampleTime, 0);
      break;
    case Add::Calculation: {
      CalculationData r;
      r.comment = "Mean";
      d.AddCalculationData(r);
      break;
    }
    case Add::IndexImage: {
      const std::uint8_t image[3] = {7, 8, 9};
      d.AddExtraData(kSampleTime, 2, 2, 3, image);
      break;
    }
  }
}

class ModeRules : public ExperimentFixture {};

TEST_F(ModeRules, WhatEachAdditionStoresBacksUpAndHandsOn) {
  // Bytes backed up per addition in mode 0.
  constexpr std::size_t kMarkerBytes = 4 + 4 + 2 * 4;                                // "Mark"
  constexpr std::size_t kCalcBytes = 2 + 2 + 4 + 4 + 8 + 8 + 2 + 8 + 4 + 4 + 8 + 8;  // comment "Mean"
  struct Row {
    Add add;
    std::uint32_t mode;
    bool running;
    std::size_t stored;  // records held afterwards
    std::size_t calls;   // receiver calls
    std::size_t bytes;   // bytes backed up
    bool modified;
    bool sampleTime;  // lastSampleTime becomes the record's time
  } rows[] = {
      {Add::Zones, kModeLive, true, 1, 2, 76, true, true},
      {Add::Zones, kModeLive, false, 0, 0, 0, false, false},
      {Add::Zones, kModeNone, true, 0, 2, 0, false, true},
      {Add::Zones, kModeNone, false, 0, 0, 0, false, false},
      {Add::Zones, kModeFile, true, 0, 0, 0, false, false},
      {Add::Pressure, kModeLive, true, 1, 1, 124, true, true},
      {Add::Pressure, kModeLive, false, 0, 1, 0, false, true},
      {Add::Pressure, kModeNone, true, 0, 1, 0, false, true},
      {Add::Pressure, kModeNone, false, 0, 1, 0, false, true},
      {Add::Pressure, kModeFile, true, 0, 0, 0, false, false},
      {Add::Flow, kModeLive, true, 1, 1, 12, true, true},
      {Add::Flow, kModeLive, false, 0, 1, 0, false, false},
      {Add::Flow, kModeNone, true, 0, 1, 0, false, true},
      {Add::Flow, kModeNone, false, 0, 1, 0, false, false},
      {Add::Flow, kModeFile, true, 0, 0, 0, false, false},
      {Add::Microscope, kModeLive, true, 1, 1, 12, true, true},
      {Add::Microscope, kModeLive, false, 0, 0, 0, false, false},
      {Add::Microscope, kModeNone, true, 0, 1, 0, false, true},
      {Add::Microscope, kModeNone, false, 0, 0, 0, false, false},
      {Add::Microscope, kModeFile, true, 0, 0, 0, false, false},
      // Markers work in every mode; only a live experiment backs them up.
      {Add::Marker, kModeLive, true, 1, 1, kMarkerBytes, true, false},
      {Add::Marker, kModeLive, false, 1, 1, kMarkerBytes, true, false},
      {Add::Marker, kModeNone, true, 1, 1, 0, true, false},
      {Add::Marker, kModeFile, true, 1, 1, 0, true, false},
      // Calculations: in a live experiment or one read from a file, backed up while the stream is open.
      {Add::Calculation, kModeLive, true, 1, 0, kCalcBytes, true, false},
      {Add::Calculation, kModeFile, true, 1, 0, kCalcBytes, true, false},
      {Add::Calculation, kModeNone, true, 0, 0, 0, false, false},
      // Index images: live experiments only.
      {Add::IndexImage, kModeLive, true, 1, 0, 16 + 3, true, false},
      {Add::IndexImage, kModeNone, true, 0, 0, 0, false, false},
      {Add::IndexImage, kModeFile, true, 0, 0, 0, false, false},
  };
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(Name(row.add)) + " in mode " + std::to_string(row.mode) +
                 (row.running ? ", clock running" : ", clock halted"));
    const std::string folder = dir_ / ("case" + std::to_string(n++));
    ASSERT_TRUE(OS::EnsureDir(folder));
    RecordingConsumer consumer;
    hooks_.actions.clear();
    auto d = NewRecord(folder, consumer);
    OpenAllStreams(d->Streams(), folder);
    d->mode = row.mode;
    d->lastSampleTime = 1;
    if (row.running)
      StartClock();
    else
      HaltClock();

    Perform(*d, row.add);
    d->Streams().CloseAll();

    EXPECT_EQ(HeldRecords(*d), row.stored);
    EXPECT_EQ(consumer.Calls(), row.calls);
    EXPECT_EQ(StreamBytes(folder), row.bytes);
    EXPECT_EQ(d->modified.load(), row.modified);
    EXPECT_EQ(d->lastSampleTime.load(), row.sampleTime ? kSampleTime : 1u);
    EXPECT_EQ(hooks_.actions.size(), row.add == Add::Marker ? 1u : 0u) << "a marker adds one action";
  }
}

// A stopped collection leaves the record in mode 2 with its data: rows made
// from them are kept as in a live or opened experiment; a record with no
// experiment keeps none.
TEST_F(ModeRules, AStoppedCollectionKeepsTheCalculationsMadeAfterTheStop) {
  CalculationData row;
  row.comment = "after the stop";
  data().mode = kModeLive;
  StartClock();
  PMK4xData3 sample;
  sample.time = kSampleTime;
  data().AddPressureSample(sample);
  data().mode = kModeNone;
  data().modified = false;
  EXPECT_TRUE(data().HoldsExperiment());
  data().AddCalculationData(row);
  EXPECT_EQ(data().Read([](const ExperimentContents& c) { return c.calculations.size(); }), 1u);
  EXPECT_TRUE(data().modified.load());

  data().Clear();  // the experiment was closed
  EXPECT_FALSE(data().HoldsExperiment());
  data().AddCalculationData(row);
  EXPECT_EQ(data().Read([](const ExperimentContents& c) { return c.calculations.size(); }), 0u);
  EXPECT_FALSE(data().modified.load());
}

// ---- zone batches and samples ----

class Additions : public ExperimentFixture {
 protected:
  void SetUp() override {
    data().mode = kModeLive;
    StartClock();
  }
};

TEST_F(Additions, ZoneBatchCallsTheReceiversPerZoneAndBacksUpEachEntry) {
  const std::string path = dir_ / "ZoneData_2.dta";
  ASSERT_TRUE(data().Streams().zone[2].Open(path));
  const ZoneData a = MakeZone(1000, 3, 10.0f);
  const ZoneData b = MakeZone(1040, 9, 20.0f);  // more zones than a record holds
  data().AddZoneDataBatch(MakeBatch({a, b}), 2);
  data().Streams().zone[2].Close();

  std::vector<ZoneCall> expected;
  for (int zone = 0; zone < 3; ++zone)
    expected.push_back({1000, zone, 10.0f + zone, 10.25f + zone, 10.5f + zone, 10.75f + zone, 2});
  for (int zone = 0; zone < 4; ++zone)
    expected.push_back({1040, zone, 20.0f + zone, 20.25f + zone, 20.5f + zone, 20.75f + zone, 2});
  EXPECT_EQ(consumer_.zones, expected);

  ZoneData storedB = b;
  storedB.zoneCount = 4;
  std::vector<std::uint8_t> bytes(2 * 76);
  a.Serialize(std::span<std::uint8_t, 76>(bytes.data(), 76));
  storedB.Serialize(std::span<std::uint8_t, 76>(bytes.data() + 76, 76));
  EXPECT_EQ(FileBytes(path), bytes) << "76 bytes per entry, zone count limited to 4";

  data().Read([&](const ExperimentContents& c) {
    EXPECT_EQ(c.zoneData[2].size(), 2u);
    EXPECT_EQ(c.zoneData[2].back().zoneCount, 4);
    EXPECT_EQ(c.zoneCount[2], 4u);
    return 0;
  });
  EXPECT_EQ(data().lastSampleTime.load(), 1040u);
  EXPECT_EQ(data().GetLastSampleTime(2), 1040u);
}

TEST_F(Additions, ZoneBatchesOutsideTheCamerasOrBeyondFifteenEntries) {
  for (int camera : {-1, 4, 100}) data().AddZoneDataBatch(MakeBatch({MakeZone(1, 1)}), camera);
  EXPECT_FALSE(data().HasData());
  EXPECT_TRUE(consumer_.zones.empty());

  ZoneDataBatch batch;
  for (std::size_t i = 0; i < ZoneDataBatch::kMaxEntries; ++i)
    batch.entries[i] = MakeZone(static_cast<std::uint32_t>(i), 1);
  batch.count = 1000;
  batch.pending.push_back(MakeZone(0, 1));
  data().AddZoneDataBatch(batch, 0);
  EXPECT_EQ(data().Read([](const ExperimentContents& c) { return c.zoneData[0].size(); }), ZoneDataBatch::kMaxEntries);
  EXPECT_EQ(consumer_.zones.size(), ZoneDataBatch::kMaxEntries);
}

TEST_F(Additions, SamplesAreLinkedToTheNewestZoneRecordOfCameraZero) {
  struct Case {
    int zoneRecords;
    std::int32_t incoming;
    std::int32_t expected;
  } cases[] = {{0, 77, 77}, {0, -1, -1}, {1, 77, 0}, {3, -1, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.zoneRecords);
    data().Clear();
    for (int i = 0; i < c.zoneRecords; ++i) data().AddZoneDataBatch(MakeBatch({MakeZone(10 + i, 1)}), 0);
    data().AddZoneDataBatch(MakeBatch({MakeZone(50, 1)}), 1);  // other cameras do not count

    PMK4xData3 pressure;
    pressure.index = c.incoming;
    data().AddPressureSample(pressure);
    EXPECT_EQ(pressure.index, c.expected) << "the caller's record is completed in place";
    FMASL1600Data flow;
    flow.index = c.incoming;
    data().AddFlowSample(flow);
    EXPECT_EQ(flow.index, c.expected);

    data().Read([&](const ExperimentContents& r) {
      EXPECT_EQ(r.pressureSamples.back().index, c.expected);
      EXPECT_EQ(r.lastPressure.index, c.expected);
      EXPECT_EQ(r.flowSamples.back().index, c.expected);
      return 0;
    });
    EXPECT_EQ(consumer_.pressure.back().index, c.expected);
  }
}

TEST_F(Additions, PressureAndMicroscopeBackupsHoldTheStoredForms) {
  ASSERT_TRUE(data().Streams().pressure.Open(dir_ / "Pressure_0.dta"));
  ASSERT_TRUE(data().Streams().microscope[3].Open(dir_ / "Microscope_3.dta"));
  PMK4xData3 p;
  p.time = 900;
  p.p1 = 60.0f;
  data().AddPressureSample(p);
  MicroscopeData2 m;
  m.time = 901;
  m.temperature = 37.0f;
  m.ir = 12;
  m.index = 3;
  data().AddMicroscopeSample(m, 3);
  data().AddMicroscopeSample(m, 4);  // no such camera
  data().Streams().CloseAll();

  std::vector<std::uint8_t> pressureBytes(124);
  p.Serialize(std::span<std::uint8_t, 124>(pressureBytes.data(), 124));
  EXPECT_EQ(FileBytes(dir_ / "Pressure_0.dta"), pressureBytes);
  std::vector<std::uint8_t> microscopeBytes(12);
  m.SerializeShort(std::span<std::uint8_t, 12>(microscopeBytes.data(), 12));
  EXPECT_EQ(FileBytes(dir_ / "Microscope_3.dta"), microscopeBytes);

  ASSERT_EQ(consumer_.microscope.size(), 1u);
  EXPECT_EQ(MicroscopeData2(consumer_.microscope[0]), m);
  EXPECT_EQ(data().Read([](const ExperimentContents& c) { return c.microscopeData[3].size(); }), 1u);
}

TEST_F(Additions, ReceiversAreCalledOnceEachAndNotAfterRemoval) {
  RecordingConsumer second;
  data().AddPressureConsumer(&consumer_);  // already registered
  data().AddPressureConsumer(&second);
  PMK4xData3 s;
  data().AddPressureSample(s);
  EXPECT_EQ(consumer_.pressure.size(), 1u);
  EXPECT_EQ(second.pressure.size(), 1u);

  data().RemovePressureConsumer(&consumer_);
  data().AddPressureSample(s);
  EXPECT_EQ(consumer_.pressure.size(), 1u);
  EXPECT_EQ(second.pressure.size(), 2u);

  std::vector<ImageAnalysisConsumer*> told;
  data().ForEachImageAnalysisConsumer([&](ImageAnalysisConsumer& c) { told.push_back(&c); });
  EXPECT_EQ(told, std::vector<ImageAnalysisConsumer*>{&consumer_});
}

TEST_F(Additions, ARegistrationHandleRemovesItsReceiverOnceWhenResetOrDestroyed) {
  RecordingConsumer pane;
  PMK4xData3 s;
  {
    ScopedRegistration outer;
    {
      ScopedRegistration pressure = data().RegisterPressureConsumer(&pane);
      ScopedRegistration flow = data().RegisterFlowConsumer(&pane);
      EXPECT_TRUE(pressure && flow);
      data().AddPressureSample(s);
      EXPECT_EQ(pane.pressure.size(), 1u);
      flow.Reset();
      EXPECT_FALSE(flow);
      outer = std::move(pressure);  // the registration moves with its handle
      EXPECT_FALSE(pressure);
    }
    data().AddPressureSample(s);
    EXPECT_EQ(pane.pressure.size(), 2u);
  }
  data().AddPressureSample(s);
  EXPECT_EQ(pane.pressure.size(), 2u);
  EXPECT_EQ(consumer_.pressure.size(), 3u) << "other receivers stay";
}

TEST_F(Additions, HasDataLastSampleTimeAndClear) {
  data().startTick = 500;
  EXPECT_FALSE(data().HasData());
  for (int camera : {-1, 0, 3, 4, -2}) EXPECT_EQ(data().GetLastSampleTime(camera), 500u) << camera;

  data().AddZoneDataBatch(MakeBatch({MakeZone(700, 1)}), 1);
  data().AddZoneDataBatch(MakeBatch({MakeZone(650, 1)}), 2);
  EXPECT_TRUE(data().HasData());
  EXPECT_EQ(data().GetLastSampleTime(-1), 700u);
  EXPECT_EQ(data().GetLastSampleTime(0), 500u);
  EXPECT_EQ(data().GetLastSampleTime(2), 650u);

  data().AddMarker("m", 700, 0);
  CalculationData calc;
  data().AddCalculationData(calc);
  data().Update([](ExperimentContents& c) {
    c.title = "Title";
    c.videoFiles[1] = "v.avi";
    c.analysisData[0].emplace_back();
    return 0;
  });
  ASSERT_TRUE(data().AddCamera("cam-A"));
  data().SetVideoEnabled(true);
  data().Clear();

  EXPECT_FALSE(data().HasData());
  EXPECT_EQ(data().MarkerCount(), 0u);
  EXPECT_FALSE(data().modified.load());
  EXPECT_FALSE(data().videoEnabled.load());
  EXPECT_EQ(data().mode.load(), static_cast<std::uint32_t>(kModeLive)) << "the mode stays";
  data().Read([](const ExperimentContents& c) {
    EXPECT_TRUE(c.calculations.empty());
    EXPECT_TRUE(c.title.empty());
    EXPECT_TRUE(c.videoFiles[1].empty());
    EXPECT_TRUE(c.analysisData[0].empty());
    EXPECT_EQ(c.cameraNames, std::vector<std::string>{"cam-A"}) << "the live cameras stay";
    return 0;
  });
}

// ---- markers ----

class Markers : public ExperimentFixture {
 protected:
  void SetUp() override {
    data().mode = kModeLive;
    for (const char* name : {"cam-A", "cam-B", "cam-C"}) ASSERT_TRUE(data().AddCamera(name));
  }
};

TEST_F(Markers, OneMarkerPerCameraEachUnderItsOwnKeyAndOneAction) {
  ASSERT_TRUE(data().Streams().marker.Open(dir_ / "Marker_0.dta"));
  data().AddMarker("Drug added", 8000, -1);

  ASSERT_EQ(data().MarkerCount(), 3u);
  const std::vector<std::uint32_t> ids = data().MarkerIds();
  ASSERT_EQ(consumer_.markers.size(), 3u);
  for (std::uint32_t c = 0; c < 3; ++c) {
    EXPECT_EQ(consumer_.markers[c], (MarkerData2{"Drug added", 8000, c, ids[c]}));
  }
  ASSERT_EQ(hooks_.actions.size(), 1u);
  EXPECT_EQ(hooks_.actions[0], (ActionData{8000, "Drug added"}));
  EXPECT_TRUE(data().modified.load());

  // One stream record per camera, flushed at once.
  std::vector<std::uint8_t> record = {0x40, 0x1F, 0, 0, 10, 0, 0, 0};
  for (char ch : std::string("Drug added")) record.insert(record.end(), {static_cast<std::uint8_t>(ch), 0});
  std::vector<std::uint8_t> expected;
  for (int i = 0; i < 3; ++i) expected.insert(expected.end(), record.begin(), record.end());
  EXPECT_EQ(FileBytes(dir_ / "Marker_0.dta"), expected);

  // All three survive a reopen of the store, with their ids.
  data().CloseStores();
  ASSERT_TRUE(data().OpenStores(dir_.path()));
  ASSERT_EQ(data().MarkerCount(), 3u);
  std::vector<std::uint32_t> cameras;
  for (std::size_t i = 0; i < 3; ++i) {
    const MarkerData2 m = data().GetMarker(i);
    EXPECT_EQ(m.text, "Drug added");
    EXPECT_EQ(m.time, 8000u);
    EXPECT_EQ(m.id, ids[i]);
    cameras.push_back(m.camera);
  }
  EXPECT_EQ(cameras, (std::vector<std::uint32_t>{0, 1, 2}));
}

TEST_F(Markers, CameraChoice) {
  struct Case {
    std::uint32_t mode;
    std::vector<std::string> fileCameras;
    int camera;
    std::vector<std::uint32_t> expected;
  } cases[] = {
      {kModeLive, {}, 1, {1}},
      {kModeLive, {}, -1, {0, 1, 2}},
      {kModeFile, {"Camera 1", "Camera 2"}, -1, {0, 1}},  // read from a file: the file's cameras
      {kModeFile, {}, -1, {}},
      {kModeFile, {}, 3, {3}},
      {kModeLive, {}, 4, {}},  // no such camera
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.mode) + "/" + std::to_string(c.camera));
    data().Clear();
    consumer_.markers.clear();
    hooks_.actions.clear();
    data().mode = c.mode;
    data().Update([&](ExperimentContents& r) {
      r.fileCameraNames = c.fileCameras;
      return 0;
    });
    data().AddMarker("M", 100, c.camera);
    std::vector<std::uint32_t> stored;
    for (std::size_t i = 0; i < data().MarkerCount(); ++i) stored.push_back(data().GetMarker(i).camera);
    EXPECT_EQ(stored, c.expected);
    EXPECT_EQ(consumer_.markers.size(), c.expected.size());
    EXPECT_EQ(hooks_.actions.size(), c.camera < kMaxCameras ? 1u : 0u) << "the action also without a camera";
  }
}

TEST_F(Markers, RemovingFromTheViewsDeletesTheMarkersActionRowOnly) {
  data().AddMarker("Wash", 3000, 1);
  const std::uint32_t id = data().MarkerIds().at(0);
  hooks_.rows = {{3000, "Other"}, {2000, "Wash"}, {3000, "Wash"}, {3000, "Wash"}};
  data().modified = false;

  data().RemoveMarkerFromViews(id);
  EXPECT_EQ(consumer_.removed, std::vector<std::uint32_t>{id});
  EXPECT_EQ(hooks_.rows, (std::vector<ActionData>{{3000, "Other"}, {2000, "Wash"}, {3000, "Wash"}}));
  EXPECT_EQ(data().MarkerCount(), 1u) << "the store keeps the marker";
  EXPECT_TRUE(data().modified.load());

  // An unknown id reaches the views and touches no row; so does a closed sheet.
  data().RemoveMarkerFromViews(id + 1000);
  hooks_.sheetOpen = false;
  data().RemoveMarkerFromViews(id);
  EXPECT_EQ(consumer_.removed.size(), 3u);
  EXPECT_EQ(hooks_.rows.size(), 3u);
}

TEST_F(Markers, FindMarkerTextTakesTheLastMarkerMoreThanHalfASecondBefore) {
  data().startTick = 100000;
  data().AddMarker("A", 102000, 0);
  data().AddMarker("B", 105000, 0);
  data().AddMarker("C", 103000, 1);
  struct Case {
    double seconds;
    std::uint32_t camera;
    const char* expected;
  } cases[] = {{0.0, 0, ""},    {2.5, 0, ""},  {2.5001, 0, "A"}, {5.4, 0, "A"}, {5.6, 0, "B"},
               {100.0, 0, "B"}, {3.6, 1, "C"}, {3.4, 1, ""},     {100.0, 2, ""}};
  for (const Case& c : cases)
    EXPECT_EQ(data().FindMarkerText(c.seconds, c.camera), c.expected) << c.seconds << "/" << c.camera;
}

TEST_F(Markers, AddMarkerNowUsesTheClock) {
  StartClock();
  tick_.Advance(1234);
  const std::uint32_t now = clock_.Now();
  data().AddMarkerNow("Now", 0);
  EXPECT_EQ(data().GetMarker(0).time, now);
}

// ---- calculations ----

TEST(CalculationComments, GroupRule) {
  ORV::Test::SandboxedHome home;
  // Methods and groups of the list, in order: -1 heads a group.
  const std::vector<std::pair<std::int32_t, std::int32_t>> list = {{0, -1}, {0, 1}, {1, 2},  {0, -1}, {0, 0},
                                                                   {4, 2},  {4, 3}, {1, -1}, {0, 5}};
  struct Case {
    std::int32_t kind;
    int n;
    std::vector<int> changed;  // positions whose comment becomes the new text
  } cases[] = {
      // The head and the records right after it that continue its row: same
      // method, never a video measurement (its row field holds a camera).
      {0, 0, {0, 1}}, {0, 1, {3, 4}}, {0, 2, {}},   // no third head of method 0
      {0, -1, {}},    {4, 0, {5}},                  // video measurements: that record alone
      {4, 1, {6}},    {4, 2, {}},     {1, 0, {7}},  // heads only: the member at position 2 does not count
      {3, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.kind) + "/" + std::to_string(c.n));
    ExperimentData d{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
    d.mode = kModeFile;
    for (auto [kind, group] : list) {
      CalculationData r;
      r.kind = kind;
      r.group = group;
      r.comment = "old";
      d.AddCalculationData(r);
    }
    d.SetCalculationComment(c.kind, c.n, "new");
    const std::vector<std::string> comments = d.Read([](const ExperimentContents& r) {
      std::vector<std::string> out;
      for (const CalculationData& calc : r.calculations) out.push_back(calc.comment);
      return out;
    });
    for (std::size_t i = 0; i < comments.size(); ++i) {
      const bool changed = std::find(c.changed.begin(), c.changed.end(), static_cast<int>(i)) != c.changed.end();
      EXPECT_EQ(comments[i], changed ? "new" : "old") << i;
    }
  }

  ExperimentData d{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  d.mode = kModeLive;
  d.AddCalculationData(CalculationData{});
  d.SetCalculationComment(0, 0, std::string(300, 'z'));
  EXPECT_EQ(d.Read([](const ExperimentContents& r) { return r.calculations[0].comment; }),
            std::string(252, 'z') + "...");
}

// ---- cameras ----

TEST_F(Additions, CamerasAreLabelledByTheirNumber) {
  for (const char* name : {"unit-1", "unit-7", "unit-2"}) EXPECT_TRUE(data().AddCamera(name));
  EXPECT_TRUE(data().AddCamera("unit-3"));
  EXPECT_FALSE(data().AddCamera("fifth")) << "at most four cameras";
  data().Read([](const ExperimentContents& c) {
    EXPECT_EQ(c.cameraNames, (std::vector<std::string>{"unit-1", "unit-7", "unit-2", "unit-3"}));
    EXPECT_EQ(c.cameraLabels, (std::vector<std::string>{"Camera 1", "Camera 2", "Camera 3", "Camera 4"}));
    return 0;
  });
  EXPECT_EQ(data().CameraCount(), 4u);
}

TEST_F(Additions, VideoEntryIsAddedOnceAndRemovedFromBothLists) {
  using Lists = std::pair<std::vector<std::string>, std::vector<std::string>>;
  auto lists = [&] {
    return data().Read([](const ExperimentContents& c) { return Lists{c.cameraNames, c.cameraLabels}; });
  };
  data().SetVideoEnabled(true);
  data().SetVideoEnabled(true);
  EXPECT_EQ(lists(), (Lists{{"Video"}, {"Video"}}));
  EXPECT_TRUE(data().videoEnabled.load());
  data().SetVideoEnabled(false);
  EXPECT_EQ(lists(), (Lists{{}, {}}));
  EXPECT_FALSE(data().videoEnabled.load());

  ASSERT_TRUE(data().AddCamera("cam"));
  data().SetVideoEnabled(true);
  EXPECT_EQ(lists(), (Lists{{"cam"}, {"Camera 1"}})) << "no Video entry beside a camera";
}

// ---- index images ----

TEST_F(Additions, IndexImagesUpTo10000BytesAndGaps) {
  ASSERT_TRUE(data().Streams().indexImage.Open(dir_ / "ImageIndex_0.dta"));
  std::vector<std::uint8_t> image(10000, 0xAB);
  EXPECT_TRUE(data().AddExtraData(20000, 32, 24, 10000, image.data()));
  EXPECT_TRUE(data().AddExtraData(30000, 0, 0, 0, nullptr)) << "a gap record";

  image.resize(10001);
  EXPECT_FALSE(data().AddExtraData(40000, 32, 24, 10001, image.data()));
  EXPECT_NE(log_.Dump().find("10001"), std::string::npos) << log_.Dump();
  EXPECT_FALSE(data().AddExtraData(40000, 32, 24, 5, nullptr)) << "bytes promised but missing";
  data().Streams().CloseAll();

  data().Read([](const ExperimentContents& c) {
    EXPECT_EQ(c.indexImages.size(), 2u);
    EXPECT_EQ(c.indexImages[0].Size(), 10000u);
    EXPECT_EQ(c.indexImages[0].width, 32u);
    EXPECT_EQ(c.indexImages[1].Size(), 0u);
    EXPECT_EQ(c.indexImages[1].time, 30000u);
    return 0;
  });
  EXPECT_EQ(FileBytes(dir_ / "ImageIndex_0.dta").size(), (16u + 10000u) + 16u);
}

// ---- the session ----

TEST(SessionTest, OwnsOneRecordWithNoExperimentOnTheSettingsAndClockHandedIn) {
  ORV::Test::SandboxedHome home;
  Configuration configuration;
  ORV::Test::HandClock clock(1234);
  Session session(configuration, clock);
  EXPECT_EQ(session.Experiment().configuration, &configuration);
  EXPECT_EQ(&session.Experiment().ExperimentClock(), &clock);
  EXPECT_EQ(session.Experiment().ExperimentClock().Now(), 1234u);
  EXPECT_EQ(session.Experiment().mode.load(), static_cast<std::uint32_t>(kModeNone));
  EXPECT_EQ(session.Experiment().currentVersion, 5);
}

}  // namespace
}  // namespace ORV
