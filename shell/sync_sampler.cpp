#include "shell/sync_sampler.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <variant>

namespace ORV {

std::int16_t SaturatedFlow(double flow) {
  if (std::isnan(flow)) return 0;
  constexpr double kLow = std::numeric_limits<std::int16_t>::min();
  constexpr double kHigh = std::numeric_limits<std::int16_t>::max();
  return static_cast<std::int16_t>(std::clamp(std::trunc(flow), kLow, kHigh));
}

SyncSampler::SyncSampler(SamplerSink& sink, PressureSource& pressure, std::shared_ptr<ZoneDataHolderQueue> zones)
    : sink_(sink), pressure_(pressure), zones_(std::move(zones)) {
  // A cache that never heard from its microscope still belongs to its own
  // camera.
  for (std::size_t c = 0; c < microscopeCache_.size(); ++c) microscopeCache_[c].index = static_cast<std::uint32_t>(c);
}

SyncSampler::~SyncSampler() { Stop(); }

SamplerTiming SyncSampler::ChooseTiming(const SamplerSettings& s) {
  auto periodOf = [&] {
    std::int32_t index = s.frequencyIndex;
    if (index < 0 || index >= static_cast<std::int32_t>(kSampleFrequencies.size())) index = 3;
    return static_cast<std::int32_t>(1000.0 / kSampleFrequencies[static_cast<std::size_t>(index)] + 0.5);
  };
  SamplerTiming timing;
  if (s.synchronised) {
    if (s.flowPresent) {
      timing.mode = 3;
      timing.periodMs = 1000;
    } else if (s.multiPresent) {
      timing.mode = 2;
      timing.periodMs = s.multiConnected ? 100 : 1000;
    } else {
      timing.mode = 1;
      timing.periodMs = periodOf();
    }
  } else {
    timing.mode = 0;
    timing.periodMs = s.cameraKind == 1 ? 6 : s.cameraKind == 2 ? 5 : periodOf();
  }
  timing.tickWaitMs = s.cameraKind == 0 ? timing.periodMs : timing.periodMs * kFramesPerTick;
  return timing;
}

void SyncSampler::Configure(const SamplerSettings& settings) {
  settings_ = settings;
  timing_ = ChooseTiming(settings);
}

bool SyncSampler::Restart(const SamplerSettings& settings) {
  Stop();
  Configure(settings);
  if (timing_.tickWaitMs == 0) return true;
  return metronome_.Start(timing_.tickWaitMs, &SyncSampler::TickTrampoline, this);
}

void SyncSampler::Stop() { metronome_.Stop(); }

bool SyncSampler::ResetForCollection(const SamplerSettings& settings) {
  // With the metronome stopped no tick touches what is reset here.
  Stop();
  lastTime_ = 0;
  tickCount_ = 0;
  zoneNew_ = {};
  pressure_.ClearQueue();
  {
    std::lock_guard lock(cacheMutex_);
    microscopeNew_ = {};
  }
  return Restart(settings);
}

void SyncSampler::TickTrampoline(void* self) {
  if (self) static_cast<SyncSampler*>(self)->Tick();
}

int SyncSampler::CameraLimit() {
  // A record read from a file may name more cameras than there are batches
  // and caches; only the first four take part.
  return static_cast<int>(std::min<std::size_t>(sink_.CameraCount(), kMaxCameras));
}

std::uint32_t SyncSampler::TimeStep() const {
  const auto period = static_cast<std::uint32_t>(timing_.periodMs);
  return settings_.cameraKind == 0 ? period : period * kFramesPerTick;
}

std::uint32_t SyncSampler::SpreadStamp(std::uint32_t t, std::uint64_t i, std::uint64_t n, std::uint32_t spacing) const {
  const std::uint64_t back = (n - 1 - i) * spacing;
  // Times compare as a signed difference, as every tick count does.
  const bool fits = lastTime_ == 0 || static_cast<std::int64_t>(static_cast<std::int32_t>(t - lastTime_)) >
                                          static_cast<std::int64_t>((n - 1) * spacing);
  if (fits) return t >= back ? t - static_cast<std::uint32_t>(back) : 0;
  const std::uint64_t since = t - lastTime_;
  return lastTime_ + static_cast<std::uint32_t>(since * (i + 1) / n);
}

void SyncSampler::TakeZones(int cameras, std::uint32_t t, TakenZones& out) {
  const bool kindZero = settings_.cameraKind == 0;
  const auto period = static_cast<std::uint32_t>(timing_.periodMs);
  std::lock_guard lock(zones_->mutex);
  for (int c = 0; c < cameras; ++c) {
    auto& pending = zones_->batches[static_cast<std::size_t>(c)].pending;
    std::size_t complete = 0;
    while (complete < pending.size() && pending[complete].valid != 0) ++complete;
    if (kindZero && complete == pending.size() && complete > 1) {
      // Only the newest of a run of complete records counts.
      droppedZones_.fetch_add(complete - 1, std::memory_order_relaxed);
      pending.erase(pending.begin(), pending.end() - 1);
      complete = 1;
    }
    const std::size_t m = std::min(complete, ZoneDataBatch::kMaxEntries);
    ZoneDataBatch& batch = out.batches[static_cast<std::size_t>(c)];
    for (std::size_t i = 0; i < m; ++i) {
      batch.entries[i] = pending.front();
      batch.entries[i].valid = 0;  // the entry holds the record's first 19 fields
      pending.pop_front();
    }
    batch.count = m;
    out.fresh[static_cast<std::size_t>(c)] = m != 0;
    if (m == 0) continue;
    if (kindZero) {
      batch.entries[0].time = t;
    } else {
      // Stamps go back from t one period a frame, never below 0 nor before
      // the previous tick.
      for (std::size_t i = 0; i < m; ++i) batch.entries[i].time = SpreadStamp(t, i, m, period);
    }
  }
}

void SyncSampler::StoreZones(TakenZones& zones, int camera) {
  ZoneDataBatch& batch = zones.batches[static_cast<std::size_t>(camera)];
  if (batch.count != 0) sink_.AddZoneDataBatch(batch, camera);
}

void SyncSampler::StoreMicroscopes(int cameras, std::uint32_t t) {
  if (!settings_.microscopePresent) return;
  for (int c = 0; c < cameras; ++c) {
    MicroscopeData2 value;
    {
      std::lock_guard lock(cacheMutex_);
      value = microscopeCache_[static_cast<std::size_t>(c)];
    }
    value.time = t;
    sink_.AddMicroscopeSample(value, static_cast<int>(value.index));
  }
}

void SyncSampler::StoreFlowIfFed(std::uint32_t t) {
  if (!settings_.flowPresent && !settings_.flowFromMulti) return;
  FMASL1600Data flow;
  {
    std::lock_guard lock(cacheMutex_);
    flow = flowCache_;
  }
  flow.time = t;
  sink_.AddFlowSample(flow);
}

void SyncSampler::StoreNewestPressure(PMK4xData3 sample, std::uint32_t t) {
  sample.time = t;
  sink_.AddPressureSample(sample);
}

void SyncSampler::Tick() {
  const int cameras = CameraLimit();
  const bool running = sink_.ClockRunning();
  const bool kindZero = settings_.cameraKind == 0;
  const std::uint32_t step = TimeStep();
  if (running && !kindZero) {
    // A camera of kind 1 or 2 hands over at most one tick's worth of
    // frames; older ones are dropped.
    std::lock_guard lock(zones_->mutex);
    for (int c = 0; c < cameras; ++c) {
      auto& pending = zones_->batches[static_cast<std::size_t>(c)].pending;
      while (pending.size() > static_cast<std::size_t>(kFramesPerTick)) {
        pending.pop_front();
        droppedZones_.fetch_add(1, std::memory_order_relaxed);
      }
    }
  }
  ++tickCount_;
  // The experiment clock's time; it may stand a moment below the last tick's
  // (a resume continues from the value of the pause), and a stamp never goes
  // back.
  std::uint32_t t = sink_.Now();
  if (lastTime_ != 0 && static_cast<std::int32_t>(t - lastTime_) < 0) t = lastTime_;

  TakenZones zones;
  TakeZones(cameras, t, zones);
  for (int c = 0; c < cameras; ++c) zoneNew_[static_cast<std::size_t>(c)] = zones.fresh[static_cast<std::size_t>(c)];

  switch (timing_.mode) {
    case 0: {
      std::deque<PMK4xData3> queued = pressure_.TakeQueue();
      if (!queued.empty() && running) {
        // Spread the readings over the time since the previous tick (one
        // step after a reset), oldest first, so each keeps its own place in
        // time.
        const std::uint32_t from = lastTime_ != 0 ? lastTime_ : t >= step ? t - step : 0;
        const std::uint64_t since = t - from;
        const std::uint64_t size = queued.size();
        for (std::uint64_t i = 0; i < size; ++i) {
          PMK4xData3& sample = queued[i];
          sample.time = from + static_cast<std::uint32_t>(since * i / size);
          sink_.AddPressureSample(sample);
        }
      }
      FMASL1600Data flow;
      bool flowNew = false;
      std::array<MicroscopeData2, kMaxCameras> microscopes;
      std::array<bool, kMaxCameras> microscopeNew{};
      {
        std::lock_guard lock(cacheMutex_);
        std::swap(flowNew, flowNew_);
        flow = flowCache_;
        for (int c = 0; c < cameras; ++c) {
          const auto i = static_cast<std::size_t>(c);
          std::swap(microscopeNew[i], microscopeNew_[i]);
          microscopes[i] = microscopeCache_[i];
        }
      }
      if (flowNew) {
        flow.time = t;
        sink_.AddFlowSample(flow);
      }
      for (int c = 0; c < cameras; ++c) {
        const auto i = static_cast<std::size_t>(c);
        if (microscopeNew[i]) {
          microscopes[i].time = t;
          sink_.AddMicroscopeSample(microscopes[i], static_cast<int>(microscopes[i].index));
        }
        if (zoneNew_[i]) {
          StoreZones(zones, c);
          zoneNew_[i] = false;
        }
      }
      break;
    }
    case 1:
      if (cameras > 0 && zoneNew_[0]) {
        for (int c = 0; c < cameras; ++c) StoreZones(zones, c);
        StoreMicroscopes(cameras, t);
        if (settings_.multiPresent) {
          StoreNewestPressure(pressure_.Current(), t);
          pressure_.ClearQueue();
        }
        StoreFlowIfFed(t);
        zoneNew_[0] = false;
      }
      break;
    case 2: {
      PMK4xData3 sample;
      if (pressure_.TakeNewest(sample)) {
        StoreNewestPressure(sample, t);
        pressure_.ClearQueue();
        for (int c = 0; c < cameras; ++c) StoreZones(zones, c);
        StoreMicroscopes(cameras, t);
        StoreFlowIfFed(t);
      }
      break;
    }
    case 3: {
      bool flowNew = false;
      FMASL1600Data flow;
      {
        std::lock_guard lock(cacheMutex_);
        flowNew = flowNew_;
        flow = flowCache_;
      }
      if (flowNew) {
        flow.time = t;
        sink_.AddFlowSample(flow);
        for (int c = 0; c < cameras; ++c) StoreZones(zones, c);
        StoreMicroscopes(cameras, t);
        if (settings_.multiPresent) {
          StoreNewestPressure(pressure_.Current(), t);
          pressure_.ClearQueue();
        }
        std::lock_guard lock(cacheMutex_);
        flowNew_ = false;
      }
      break;
    }
    default:
      break;
  }
  lastTime_ = t;
}

void SyncSampler::OnNewSample(std::uint32_t kind, const SampleRecord* record) {
  switch (kind) {
    case kDeviceFlowMeter:
      if (!settings_.flowPresent || !record) return;
      if (const auto* flow = std::get_if<FMASL1600Data>(record)) {
        std::lock_guard lock(cacheMutex_);
        flowCache_.time = flow->time;
        flowCache_.flow = flow->flow;
        flowCache_.index = flow->index;
        flowNew_ = true;
      }
      return;
    case kDeviceMicroscope:
      if (!record) return;
      if (const auto* sample = std::get_if<MicroscopeSample>(record)) {
        // Checked against the cameras that have a cache, not only against
        // the experiment's list.
        if (sample->microscope >= static_cast<std::uint32_t>(CameraLimit())) return;
        std::lock_guard lock(cacheMutex_);
        microscopeCache_[sample->microscope] = MicroscopeData2(*sample);
        microscopeNew_[sample->microscope] = true;
      }
      return;
    case kDeviceMultiInterface:
      if (!settings_.multiPresent || !settings_.flowFromMulti) return;
      {
        const std::int16_t flow = SaturatedFlow(pressure_.Current().flow);
        std::lock_guard lock(cacheMutex_);
        flowCache_.flow = flow;
        flowNew_ = true;
      }
      return;
    default:
      return;
  }
}

}  // namespace ORV
