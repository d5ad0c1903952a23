#pragma once
// The synchronised sampler: the one path by which every measurement reaches
// the experiment record.
//
// The camera windows queue zone measurements in the ZoneDataHolderQueue, the
// pressure workers put their readings into the pressure holder, and the
// frame's WM_NEW_SAMPLE handler leaves the newest flow and microscope values
// here (OnNewSample). On every tick of the metronome the sampler drains the
// zone queues, merges them with the newest instrument values, stamps all of
// it with one experiment time and hands it to the experiment record in a
// fixed order.
//
// Modes (ChooseTiming):
//   0  not synchronised: every source is stored as it arrives;
//   1  synchronised by camera 0: stored only on a tick that has camera 0's
//      zone data;
//   2  synchronised by the multi interface: stored on each new pressure
//      reading;
//   3  synchronised by the flow meter: stored on each new flow reading.
// In the synchronised modes everything stored on a tick carries the tick's
// time. A tick's time is the experiment clock's (the clock that stamps the
// markers and actions too), never less than the previous tick's; what a tick
// hands over of several readings or frames is spread over the time since the
// previous tick.
//
// Threads: Tick runs on the tick worker; OnNewSample, OnDevice* and the
// device-change handling run on the user-interface thread. The newest-value
// caches and their new flags share one mutex, so a tick reads each value and
// its flag as one pair.
#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "core/experiment/session_records.h"
#include "core/experiment/zone_data_queue.h"
#include "core/threading/tick_thread.h"
#include "instruments/records/instrument_records.h"
#include "instruments/sample_delivery.h"
#include "shell/device_messages.h"

namespace ORV {

// The experiment record as the sampler sees it.
class SamplerSink {
 public:
  virtual ~SamplerSink() = default;
  // The experiment's cameras (may exceed four for a record read from a file).
  virtual std::size_t CameraCount() = 0;
  // The experiment clock's time, ms.
  virtual std::uint32_t Now() = 0;
  // Whether the experiment clock runs.
  virtual bool ClockRunning() = 0;
  virtual void AddZoneDataBatch(ZoneDataBatch batch, int camera) = 0;
  virtual void AddMicroscopeSample(MicroscopeData2& record, int camera) = 0;
  virtual void AddPressureSample(PMK4xData3& sample) = 0;
  virtual void AddFlowSample(FMASL1600Data& sample) = 0;
};

// The pressure readings shared with the pressure workers.
class PressureSource {
 public:
  virtual ~PressureSource() = default;
  // Every queued reading, oldest first; the queue is empty afterwards.
  virtual std::deque<PMK4xData3> TakeQueue() = 0;
  virtual void ClearQueue() = 0;
  // When a reading came since the last call: the newest into `out`, the new
  // flag cleared, true.
  virtual bool TakeNewest(PMK4xData3& out) = 0;
  // The newest reading, new flag untouched.
  virtual PMK4xData3 Current() = 0;
};

// A PressureSource over the shared data holder of the pressure workers.
template <class Holder>
class HolderPressureSource final : public PressureSource {
 public:
  explicit HolderPressureSource(std::shared_ptr<Holder> holder) : holder_(std::move(holder)) {}
  std::deque<PMK4xData3> TakeQueue() override { return holder_->TakeQueue(); }
  void ClearQueue() override { holder_->ClearQueue(); }
  bool TakeNewest(PMK4xData3& out) override { return holder_->TakeNewest(out); }
  PMK4xData3 Current() override { return holder_->Current(); }

 private:
  std::shared_ptr<Holder> holder_;
};

// What the sampler's mode, period and device handling depend on.
struct SamplerSettings {
  bool synchronised = false;        // "SynchroniseDataCollection", only with camera kind 0
  std::int32_t frequencyIndex = 3;  // into kSampleFrequencies; 3 when outside
  std::int32_t cameraKind = 0;      // 0 The Imaging Source, 1 Lumenera, 2 XIMEA
  bool multiPresent = false;
  bool multiConnected = false;
  bool flowPresent = false;
  bool microscopePresent = false;
  bool flowFromMulti = false;
};

// Sample frequencies (Hz) of the synchronised mode 1, by frequency index.
inline constexpr std::array<int, 6> kSampleFrequencies{1, 5, 10, 15, 170, 250};
// Records a camera of kind 1 or 2 hands over per tick.
inline constexpr int kFramesPerTick = 15;

struct SamplerTiming {
  std::int32_t mode = 0;
  std::int32_t periodMs = 0;
  std::int32_t tickWaitMs = 0;
  bool operator==(const SamplerTiming&) const = default;
};

// The flow value of a pressure reading as the flow record holds it:
// truncated toward zero, saturated to the 16-bit range, NaN as 0.
std::int16_t SaturatedFlow(double flow);

class SyncSampler {
 public:
  SyncSampler(SamplerSink& sink, PressureSource& pressure, std::shared_ptr<ZoneDataHolderQueue> zones);
  // Stops the metronome.
  ~SyncSampler();
  SyncSampler(const SyncSampler&) = delete;
  SyncSampler& operator=(const SyncSampler&) = delete;

  static SamplerTiming ChooseTiming(const SamplerSettings& settings);

  // Stops a running metronome, takes the settings, chooses mode and period
  // and starts the metronome (none for a tick wait of 0). False when the
  // metronome could not start.
  bool Restart(const SamplerSettings& settings);
  // Stops the metronome; the caches stay.
  void Stop();
  // A data collection starts: the metronome stops, the tick count, the last
  // tick's time and the cameras' new flags go back to zero, the queued
  // pressure readings are dropped, and the metronome starts again.
  bool ResetForCollection(const SamplerSettings& settings);
  bool IsRunning() const { return metronome_.IsRunning(); }

  // Takes the settings and chooses mode and period without starting the
  // metronome (the caller then drives Tick itself). Only while stopped.
  void Configure(const SamplerSettings& settings);
  // One tick of the metronome.
  void Tick();

  // WM_NEW_SAMPLE: the copy of the posted record (none for the multi
  // interface, whose readings lie in the pressure source).
  void OnNewSample(std::uint32_t kind, const SampleRecord* record);

  SamplerTiming Timing() const { return timing_; }
  // The time of the last tick (0 before the first).
  std::uint32_t LastTickTime() const { return lastTime_; }
  std::uint64_t TickCount() const { return tickCount_; }
  // Zone records dropped unstored: the older of a run a camera delivered
  // faster than the ticks take them.
  std::uint64_t DroppedZoneRecords() const { return droppedZones_.load(std::memory_order_relaxed); }

 private:
  struct TakenZones {
    std::array<ZoneDataBatch, kMaxCameras> batches;
    std::array<bool, kMaxCameras> fresh{};
  };
  static void TickTrampoline(void* self);
  int CameraLimit();
  void TakeZones(int cameras, std::uint32_t t, TakenZones& out);
  void StoreZones(TakenZones& zones, int camera);
  void StoreMicroscopes(int cameras, std::uint32_t t);
  void StoreFlowIfFed(std::uint32_t t);
  void StoreNewestPressure(PMK4xData3 sample, std::uint32_t t);
  std::uint32_t TimeStep() const;
  // The stamp of the i-th of n items (oldest first) handed over by a tick at
  // t: one `spacing` apart and ending at t, or spread evenly over the time
  // since the previous tick when that spacing would reach back before it.
  std::uint32_t SpreadStamp(std::uint32_t t, std::uint64_t i, std::uint64_t n, std::uint32_t spacing) const;

  SamplerSink& sink_;
  PressureSource& pressure_;
  const std::shared_ptr<ZoneDataHolderQueue> zones_;
  SamplerSettings settings_;
  SamplerTiming timing_;
  TickThreadControl metronome_;

  // Owned by the tick.
  std::uint32_t lastTime_ = 0;  // 0: no tick since the reset
  std::uint64_t tickCount_ = 0;
  std::array<bool, kMaxCameras> zoneNew_{};
  std::atomic<std::uint64_t> droppedZones_{0};

  // The newest values left by OnNewSample, under cacheMutex_.
  std::mutex cacheMutex_;
  FMASL1600Data flowCache_;
  bool flowNew_ = false;
  std::array<MicroscopeData2, kMaxCameras> microscopeCache_{};
  std::array<bool, kMaxCameras> microscopeNew_{};
};

}  // namespace ORV
