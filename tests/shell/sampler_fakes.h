#pragma once
// A recording experiment sink and zone-record helpers for the sampler's
// tests and benchmark.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "shell/sync_sampler.h"

namespace ORV::Test {

// One value the sampler stored, in the order stored.
struct Stored {
  enum Kind { Zone, Microscope, Pressure, Flow } kind;
  int camera = -1;         // zone and microscope
  std::uint32_t time = 0;  // the stamp
  std::int32_t tag = 0;    // zone: zoneCount of the entry; flow: the flow
  bool operator==(const Stored&) const = default;
};

class RecordingSink final : public SamplerSink {
 public:
  std::atomic<std::size_t> cameras{1};
  // The experiment clock: `now`, or `clock` when it is set (before the
  // sampler runs).
  std::atomic<std::uint32_t> now{1000};
  std::function<std::uint32_t()> clock;
  std::atomic<bool> running{true};

  std::size_t CameraCount() override { return cameras; }
  std::uint32_t Now() override { return clock ? clock() : now.load(); }
  bool ClockRunning() override { return running; }
  void AddZoneDataBatch(ZoneDataBatch batch, int camera) override {
    std::lock_guard lock(mutex_);
    for (const ZoneData& z : batch.Entries()) stored_.push_back({Stored::Zone, camera, z.time, z.zoneCount});
  }
  void AddMicroscopeSample(MicroscopeData2& record, int camera) override {
    std::lock_guard lock(mutex_);
    stored_.push_back({Stored::Microscope, camera, record.time, record.ir});
  }
  void AddPressureSample(PMK4xData3& sample) override {
    std::lock_guard lock(mutex_);
    stored_.push_back({Stored::Pressure, -1, sample.time, static_cast<std::int32_t>(sample.flow)});
  }
  void AddFlowSample(FMASL1600Data& sample) override {
    std::lock_guard lock(mutex_);
    stored_.push_back({Stored::Flow, -1, sample.time, sample.flow});
  }

  std::vector<Stored> Take() {
    std::lock_guard lock(mutex_);
    std::vector<Stored> out;
    out.swap(stored_);
    return out;
  }

 private:
  std::mutex mutex_;
  std::vector<Stored> stored_;
};

// A complete (or incomplete) zone record tagged by its zone count field.
inline ZoneData MakeZoneRecord(std::int32_t tag, bool complete = true) {
  ZoneData z;
  z.zoneCount = tag;
  z.outerLeft = {1.0f, 2.0f, 3.0f, 4.0f};
  z.valid = complete ? 1 : 0;
  return z;
}

}  // namespace ORV::Test
