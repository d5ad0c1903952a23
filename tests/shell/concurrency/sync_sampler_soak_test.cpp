// The sampler on its real metronome, fed by four camera threads at 166 Hz,
// a pressure worker at 200 Hz and sample messages from a stand-in
// user-interface thread. Nothing may race, every stream's stamps must not go
// back, and every record pushed must be stored, counted as dropped or still
// be waiting.
//
// It runs for ORV_SOAK_SECONDS (3 by default; the long run uses 10).
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "instruments/data_holder.h"
#include "shell/sync_sampler.h"
#include "tests/shell/sampler_fakes.h"

namespace ORV {
namespace {

using namespace std::chrono_literals;
using Test::Stored;

std::chrono::milliseconds SoakLength() {
  const char* text = std::getenv("ORV_SOAK_SECONDS");
  const int seconds = text ? std::atoi(text) : 0;
  return std::chrono::seconds(seconds > 0 ? seconds : 3);
}

// Runs `step` every `period` until `stop`; returns how often it ran.
template <class Step>
std::thread Paced(std::chrono::microseconds period, std::atomic<bool>& stop, Step step) {
  return std::thread([period, &stop, step]() mutable {
    auto next = std::chrono::steady_clock::now();
    while (!stop.load()) {
      step();
      next += period;
      std::this_thread::sleep_until(next);
    }
  });
}

TEST(SyncSamplerSoak, CamerasPressureAndMessagesOnTheRealMetronome) {
  ::ORV::Test::RecordingSink sink;
  sink.cameras = kMaxCameras;
  // The experiment clock runs with the steady clock.
  const auto t0 = std::chrono::steady_clock::now();
  sink.clock = [t0] {
    return 1000u +
           static_cast<std::uint32_t>(
               std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count());
  };
  auto holder = std::make_shared<DataHolder<PMK4xData3>>();
  HolderPressureSource<DataHolder<PMK4xData3>> pressure(holder);
  auto zones = std::make_shared<ZoneDataHolderQueue>();
  SyncSampler sampler(sink, pressure, zones);
  const SamplerSettings settings{.cameraKind = 1, .flowPresent = true, .microscopePresent = true};
  ASSERT_TRUE(sampler.Restart(settings));
  EXPECT_EQ(sampler.Timing(), (SamplerTiming{0, 6, 90}));

  std::atomic<bool> stop{false};
  std::array<std::atomic<std::uint64_t>, kMaxCameras> pushed{};
  std::atomic<std::uint64_t> pressurePut{0};
  std::vector<std::thread> threads;
  for (int c = 0; c < kMaxCameras; ++c) {
    threads.push_back(Paced(6024us, stop, [&, c] {
      zones->Push(c, ::ORV::Test::MakeZoneRecord(static_cast<std::int32_t>(pushed[c].fetch_add(1))));
    }));
  }
  threads.push_back(Paced(5000us, stop, [&] {
    PMK4xData3 sample;
    sample.flow = static_cast<float>(pressurePut.fetch_add(1));
    holder->Put(sample);
  }));
  // The user-interface thread's sample messages (the sampler is told them
  // on that one thread).
  std::uint64_t messages = 0;
  threads.push_back(Paced(3000us, stop, [&] {
    ++messages;
    FMASL1600Data flow;
    flow.flow = static_cast<std::int16_t>(messages & 0x7FFF);
    const SampleRecord flowRecord = flow;
    sampler.OnNewSample(kDeviceFlowMeter, &flowRecord);
    MicroscopeSample microscope;
    microscope.microscope = static_cast<std::uint32_t>(messages % kMaxCameras);
    const SampleRecord microscopeRecord = microscope;
    sampler.OnNewSample(kDeviceMicroscope, &microscopeRecord);
  }));

  std::this_thread::sleep_for(SoakLength());
  stop = true;
  for (auto& t : threads) t.join();
  sampler.Stop();
  EXPECT_GT(sampler.TickCount(), 0u);

  const std::vector<Stored> stored = sink.Take();
  std::map<std::pair<int, int>, std::uint32_t> lastStamp;  // (kind, camera) -> stamp
  std::array<std::uint64_t, kMaxCameras> zonesStored{};
  std::uint64_t pressureStored = 0;
  for (const Stored& s : stored) {
    const auto key = std::make_pair(static_cast<int>(s.kind), s.camera);
    auto [it, fresh] = lastStamp.emplace(key, s.time);
    if (!fresh) {
      EXPECT_GE(s.time, it->second) << "stream " << key.first << "/" << key.second;
      it->second = s.time;
    }
    if (s.kind == Stored::Zone) ++zonesStored[static_cast<std::size_t>(s.camera)];
    if (s.kind == Stored::Pressure) ++pressureStored;
  }
  std::uint64_t zonesPushed = 0, zonesKept = 0;
  for (int c = 0; c < kMaxCameras; ++c) {
    zonesPushed += pushed[c];
    std::lock_guard lock(zones->mutex);
    zonesKept += zonesStored[static_cast<std::size_t>(c)] + zones->batches[static_cast<std::size_t>(c)].pending.size();
  }
  EXPECT_EQ(zonesKept + sampler.DroppedZoneRecords(), zonesPushed);
  EXPECT_EQ(pressureStored + holder->QueueSize(), pressurePut.load());
}

}  // namespace
}  // namespace ORV
