#pragma once
// Fakes and a fixture for tests of the experiment record: a clock moved by
// hand, the application's action sheet, and receivers that record calls.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/experiment/experiment_data.h"
#include "core/storage/relative_time.h"
#include "platform/os/tick_source.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"

namespace ORV::Test {

// The application: records AddAction calls and holds the action sheet's rows.
class FakeHooks : public ApplicationHooks, public ActionViewRows {
 public:
  void AddAction(std::uint32_t time, const std::string& text) override { actions.push_back({time, text}); }
  ActionViewRows* ActionView() override { return sheetOpen ? this : nullptr; }
  std::string AppTitle() const override { return "Tarvix 5"; }
  void ExportToDataSheet(std::int32_t method) override { sheetExports.push_back(method); }

  std::size_t RowCount() const override { return rows.size(); }
  std::uint32_t RowTime(std::size_t row) const override { return rows.at(row).time; }
  std::string RowText(std::size_t row) const override { return rows.at(row).text; }
  void DeleteRow(std::size_t row) override { rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(row)); }

  std::vector<ActionData> actions;         // every AddAction
  std::vector<ActionData> rows;            // the open sheet's rows
  std::vector<std::int32_t> sheetExports;  // every ExportToDataSheet
  bool sheetOpen = true;
};

struct ZoneCall {
  std::uint32_t time;
  int zone;
  float outerLeft, outerRight, innerLeft, innerRight;
  int camera;
  bool operator==(const ZoneCall&) const = default;
};

// A receiver of every kind that records what it is given.
class RecordingConsumer : public ImageAnalysisConsumer,
                          public PressureDataConsumer,
                          public FlowDataConsumer,
                          public MicroscopeDataConsumer {
 public:
  void OnZoneValue(std::uint32_t time, int zone, float ol, float orr, float il, float ir, int camera) override {
    zones.push_back({time, zone, ol, orr, il, ir, camera});
  }
  void OnMarkerAdded(const MarkerData2& marker) override { markers.push_back(marker); }
  bool OnMarkerRemoved(std::uint32_t id) override {
    removed.push_back(id);
    return true;
  }
  void OnPressureData(const PMK4xData3& s) override { pressure.push_back(s); }
  void OnFlowData(const FMASL1600Data& s) override { flow.push_back(s); }
  void OnMicroscopeData(const MicroscopeSample& s) override { microscope.push_back(s); }

  std::size_t Calls() const {
    return zones.size() + markers.size() + removed.size() + pressure.size() + flow.size() + microscope.size();
  }

  std::vector<ZoneCall> zones;
  std::vector<MarkerData2> markers;
  std::vector<std::uint32_t> removed;
  std::vector<PMK4xData3> pressure;
  std::vector<FMASL1600Data> flow;
  std::vector<MicroscopeSample> microscope;
};

// A record with its own clock (on a hand-moved tick count), hooks, one
// receiver of every kind registered, and its stores in a private folder.
// The user's folders point into a sandbox, so the custom-scripts folder is
// empty.
class ExperimentFixture : public testing::Test {
 protected:
  ExperimentFixture() { data_ = NewRecord(dir_.path(), consumer_); }

  // A record on this fixture's clock and hooks, with `consumer` registered
  // for every kind and its stores in `folder`.
  std::unique_ptr<ExperimentData> NewRecord(const std::string& folder, RecordingConsumer& consumer) {
    auto data = std::make_unique<ExperimentData>(ORV::Test::SharedConfiguration(), ORV::Test::SharedClock());
    data->SetClock(clock_);
    data->SetApplicationHooks(&hooks_);
    data->AddImageAnalysisConsumer(&consumer);
    data->AddPressureConsumer(&consumer);
    data->AddFlowConsumer(&consumer);
    data->AddMicroscopeConsumer(&consumer);
    EXPECT_TRUE(data->OpenStores(folder));
    return data;
  }

  // The clock runs (a data collection is recording).
  void StartClock() {
    clock_.Start();
    ASSERT_TRUE(clock_.IsRunning());
  }
  // The clock has been paused for longer than its grace time: it does not run.
  void HaltClock() {
    clock_.Start();
    clock_.Pause();
    tick_.Advance(RelativeTime::kPauseGraceMs + 50);
    ASSERT_FALSE(clock_.IsRunning());
  }

  ExperimentData& data() { return *data_; }

  SandboxedHome home_;
  MemoryEventLog log_;
  TempDir dir_;
  OS::ManualTickSource tick_{100000};
  OS::ScopedTickSource tickGuard_{tick_};
  RelativeTime::RelativeTime clock_;
  FakeHooks hooks_;
  RecordingConsumer consumer_;
  std::unique_ptr<ExperimentData> data_;
};

// A zone record with recognisable positions: zone z of record `seed` has
// outer left seed + z, outer right seed + z + 0.25, inner left seed + z + 0.5,
// inner right seed + z + 0.75.
inline ZoneData MakeZone(std::uint32_t time, std::int32_t zoneCount, float seed = 10.0f) {
  ZoneData z;
  z.time = time;
  z.zoneCount = zoneCount;
  for (int i = 0; i < kMaxZones; ++i) {
    z.outerLeft[i] = seed + i;
    z.outerRight[i] = seed + i + 0.25f;
    z.innerLeft[i] = seed + i + 0.5f;
    z.innerRight[i] = seed + i + 0.75f;
  }
  z.valid = 1;
  return z;
}

inline ZoneDataBatch MakeBatch(std::initializer_list<ZoneData> entries) {
  ZoneDataBatch batch;
  for (const ZoneData& z : entries) batch.entries[batch.count++] = z;
  return batch;
}

}  // namespace ORV::Test
