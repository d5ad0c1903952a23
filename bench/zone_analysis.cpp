// Zone analysis throughput: frames per second (wall clock) for a 1280 x 960
// grey frame of a drawn vessel with four zones of 400 x 300 pixels, once
// with every zone searched on the calling thread (one core) and then on
// analysis workers, one, two and four of them, each against one core. Four
// cameras at 200 frames per second need 800 frames per second. Beside them,
// the same analysis side by side on one, two and four threads of its own
// with no pool between them: what the machine itself gives for this work,
// so that the pool's own cost reads as the distance to it. Every figure is
// given with the machine's load average: the scaling means something only
// on an idle machine.
//
// Then long runs on one core, with these zones and with zones of 640 x 480
// (crops above the size the C library maps afresh for each allocation): the
// first and the last 5,000 frames of each, with time and page faults per
// frame, so that what a long run costs is read against its first frames.
//
//   bench_zone_analysis [long-run frames]     (default 40000; 0: the scaling only)
#include "analysis_control/zone_analysis.h"

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "load_average.h"

namespace {

using ORV::GreyImage;

constexpr int kWidth = 1280;
constexpr int kHeight = 960;

// A vertical vessel: light background, two dark walls 20 pixels wide, a
// bright lumen, and some noise.
GreyImage DrawVessel() {
  GreyImage frame{kWidth, kHeight, std::vector<std::uint8_t>(kWidth * kHeight)};
  std::uint32_t seed = 12345;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      int value = 200;
      if ((x >= 540 && x < 560) || (x >= 720 && x < 740))
        value = 60;
      else if (x >= 560 && x < 720)
        value = 220;
      seed = seed * 1664525u + 1013904223u;
      value += static_cast<int>(seed >> 28) - 8;
      frame.pixels[y * kWidth + x] = static_cast<std::uint8_t>(value);
    }
  }
  return frame;
}

class CountingEvents : public ORV::AnalysisEvents {
 public:
  void ZoneAnalysisData(int zone, int vl, int vr, int ll, int lr) override {
    results.fetch_add(1, std::memory_order_relaxed);
    if (zone == 0) last = {vl, vr, ll, lr};
  }
  void RawZoneData(int, const std::uint8_t*, int) override {}
  void IndexImage(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, const std::uint8_t*) override {}
  std::atomic<long> results{0};
  struct {
    int vl, vr, ll, lr;
  } last{};
};

class InlineExecutor : public ORV::AnalysisTaskExecutor {
 public:
  void Queue(std::shared_ptr<ORV::Threading::AsyncTask> task) override { task->OnFinished(task->Run()); }
};

void AddZones(ORV::ZoneAnalysis& analysis, int width = 400, int height = 300) {
  analysis.SetMaxZones(4);
  for (int z = 0; z < 4; ++z) analysis.AddZone({430 + 10 * z, 220 * z, width, height});
}

// Frames are handed in as the capture engine hands them: shared, so the
// workers cut the crops.
double Run(const char* name, const std::shared_ptr<ORV::AnalysisTaskExecutor>& executor, int frames) {
  const auto shared = std::make_shared<const GreyImage>(DrawVessel());
  const GreyImage& frame = *shared;
  CountingEvents events;
  ORV::ZoneAnalysis analysis(events, executor);
  AddZones(analysis);
  for (int i = 0; i < 200; ++i) analysis.PrepareZones(frame.View(), shared);  // warm up
  // Progress is read from the event count, without taking the zone lock.
  const auto waitUntilBacklog = [&](long started, long backlog) {
    while (started - events.results.load(std::memory_order_relaxed) > backlog) {
      std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
  };
  waitUntilBacklog(4 * 200, 0);

  const long before = events.results.load();
  ORV::Bench::RunnableSampler runnable;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < frames; ++i) {
    analysis.PrepareZones(frame.View(), shared);
    // Keep the backlog bounded, as a camera at its frame rate would.
    waitUntilBacklog(before + 4L * (i + 1), 64);
  }
  waitUntilBacklog(before + 4L * frames, 0);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  runnable.Stop();

  const double fps = frames / seconds;
  std::printf(
      "%-24s %7d frames  %8.1f frames/s  %7.1f us/frame  (%ld zone results; zone 0: walls %d-%d, lumen %d-%d)\n"
      "%24s %s; %s\n",
      name, frames, fps, 1e6 * seconds / frames, events.results.load() - before, events.last.vl, events.last.vr,
      events.last.ll, events.last.lr, "", ORV::Bench::LoadAverageText().c_str(), runnable.Text().c_str());
  return fps;
}

// The machine's own ceiling for the same work: `threads` analyses side by
// side, each on its own thread with its own frame and no pool between them.
// Workers that fall short of this lose time in the pool; workers level with
// it are held back by the machine (shared caches, memory, virtual cores).
double RunSideBySide(int threads, int framesEach) {
  std::atomic<int> ready{0};
  std::atomic<bool> go{false};
  std::vector<std::thread> runners;
  for (int t = 0; t < threads; ++t) {
    runners.emplace_back([&] {
      const auto shared = std::make_shared<const GreyImage>(DrawVessel());
      CountingEvents events;
      ORV::ZoneAnalysis analysis(events, std::make_shared<InlineExecutor>());
      AddZones(analysis);
      for (int i = 0; i < 200; ++i) analysis.PrepareZones(shared->View(), shared);
      ready.fetch_add(1);
      while (!go.load()) std::this_thread::yield();
      for (int i = 0; i < framesEach; ++i) analysis.PrepareZones(shared->View(), shared);
    });
  }
  while (ready.load() < threads) std::this_thread::yield();
  ORV::Bench::RunnableSampler runnable;
  const auto start = std::chrono::steady_clock::now();
  go.store(true);
  for (std::thread& runner : runners) runner.join();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  runnable.Stop();
  const double fps = threads * framesEach / seconds;
  std::printf("%-24s %7d frames  %8.1f frames/s  %7.1f us/frame\n%24s %s; %s\n", "", threads * framesEach, fps,
              1e6 * seconds / (threads * framesEach), "", ORV::Bench::LoadAverageText().c_str(),
              runnable.Text().c_str());
  return fps;
}

long MinorFaults() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_minflt;
}

// A long run on the calling thread, from the first frame on; prints the
// first and the last `window` frames.
void LongRun(int frames, int window, int zoneWidth, int zoneHeight) {
  const GreyImage frame = DrawVessel();
  CountingEvents events;
  ORV::ZoneAnalysis analysis(events, std::make_shared<InlineExecutor>());
  AddZones(analysis, zoneWidth, zoneHeight);
  struct Window {
    double seconds = 0;
    long faults = 0;
  } first, last;
  const auto measure = [&](int count) {
    const long faults = MinorFaults();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) analysis.PrepareZones(frame.View());
    return Window{std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                  MinorFaults() - faults};
  };
  first = measure(window);
  measure(frames - 2 * window);
  last = measure(window);
  const auto print = [&](const char* name, const Window& w) {
    std::printf("  %-22s %7.1f us/frame  %6.2f page faults/frame\n", name, 1e6 * w.seconds / window,
                double(w.faults) / window);
  };
  std::printf("long run on one core, %d frames, four zones of %d x %d:\n", frames, zoneWidth, zoneHeight);
  print("first 5,000 frames", first);
  print("last 5,000 frames", last);
  std::printf("  ratio last / first: %.2f\n", last.seconds / first.seconds);
}

}  // namespace

int main(int argc, char** argv) {
  constexpr int kWindow = 5000;
  constexpr int kRounds = 3;
  const int longRun = argc > 1 ? std::atoi(argv[1]) : 40000;
  std::printf("1280 x 960 grey frame, four zones of 400 x 300 pixels; the best of %d rounds counts\n", kRounds);
  // Rounds take turns, so a burst of load elsewhere falls on one round of
  // each rather than on every round of one.
  const int workerCounts[] = {1, 2, 4};
  double oneCore = 0.0;
  double best[3] = {};
  double sideBySide[3] = {};
  for (int round = 0; round < kRounds; ++round) {
    oneCore = std::max(oneCore, Run("one core (inline)", std::make_shared<InlineExecutor>(), 5000));
    for (int i = 0; i < 3; ++i) {
      char name[40];
      std::snprintf(name, sizeof name, "analysis workers (%d)", workerCounts[i]);
      best[i] = std::max(
          best[i], Run(name, ORV::AnalyseImagesThreads::Create(ORV::kAnalysisWorkerIdle, workerCounts[i]), 20000));
    }
    for (int i = 0; i < 3; ++i) {
      std::printf("side by side, %d thread%s (no pool):\n", workerCounts[i], workerCounts[i] == 1 ? "" : "s");
      sideBySide[i] = std::max(sideBySide[i], RunSideBySide(workerCounts[i], 20000 / workerCounts[i]));
    }
  }
  std::printf("best: one core %.1f frames/s (target 800: %s)\n", oneCore, oneCore >= 800.0 ? "met" : "NOT met");
  for (int i = 0; i < 3; ++i) {
    const int workers = workerCounts[i];
    std::printf("  %d worker%s %.1f frames/s, against one core: x%.2f%s\n", workers, workers == 1 ? "" : "s", best[i],
                best[i] / oneCore,
                workers == 4 ? (best[i] >= 3.0 * oneCore ? " (target x3: met)" : " (target x3: NOT met)") : "");
  }
  std::printf("the machine's ceiling, the same analysis side by side on its own threads without a pool:\n");
  for (int i = 0; i < 3; ++i) {
    std::printf("  %d thread%s %.1f frames/s, against one core: x%.2f; the workers reach %.0f%% of it\n",
                workerCounts[i], workerCounts[i] == 1 ? "" : "s", sideBySide[i], sideBySide[i] / oneCore,
                100.0 * best[i] / sideBySide[i]);
  }
  std::printf("  %s\n", ORV::Bench::LoadAverageText().c_str());
  if (longRun <= 0) return 0;
  LongRun(std::max(2 * kWindow, longRun), kWindow, 400, 300);
  LongRun(std::max(2 * kWindow, longRun), kWindow, 640, 480);
  return 0;
}
