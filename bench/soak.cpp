// The whole program's memory over a long run, offscreen on the simulated lab
// with four cameras at 30 frames a second, each measuring one zone: first
// idle (no collection, no trace window), then collecting with every camera's
// video recorded and four live trace windows (two vessel diameters, the
// inlet and outlet pressures). The resident set is taken every 10 s, with
// the heap in use and what the experiment record and the open views keep by
// design: the record's lists by the blocks they take, the index images, the
// four graphs' points (16 bytes a point and a summary per 64) and the video
// files' frame index (4 bytes a frame).
//
// Pass marks: idle, the resident set may grow by less than 2 MB after the
// first 5 minutes; collecting, from 2 minutes after the start on (the frame
// pools and the recorder have filled by then), it may grow by what the
// record and the views keep, within 10 %. At the end of each phase the C
// library's malloc_info is printed.
//
//   bench_soak [idle minutes] [collecting minutes]     (default 30 30)
//
// A run takes the minutes asked for, writes about 1 GB of video a camera an
// hour into its private folder (removed at the end) and is run by hand.
#include <malloc.h>

#include <QApplication>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "analysis_control/video_buffer.h"
#include "graph_control/graph_interface.h"
#include "graph_control/graph_items.h"
#include "program_on_lab.h"

namespace {

using namespace ORV;

constexpr int kSampleMs = 10000;
constexpr double kMB = 1e6;

// The resident set of the process, bytes; 0 when /proc does not say.
double ResidentBytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) * 1024.0;
  }
  return 0.0;
}

// Heap in use: the C library's allocated chunks, mapped ones included.
double HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return static_cast<double>(info.uordblks + info.hblkhd);
}

// What the record and the open views keep by design, bytes.
struct Kept {
  double lists = 0.0;   // the record's lists, by their blocks
  double images = 0.0;  // the index images
  double graphs = 0.0;  // the four trace windows' points
  double videos = 0.0;  // the recorded videos' frame index
  double Total() const { return lists + images + graphs + videos; }
};

Kept KeptByDesign(ExperimentData& experiment, const std::vector<Views::TraceViewWindow*>& windows) {
  Kept kept;
  std::vector<std::string> videoFiles;
  experiment.Read([&](const ExperimentContents& c) {
    for (int i = 0; i < kMaxCameras; ++i) {
      kept.lists += static_cast<double>(c.zoneData[i].BlockBytes() + c.microscopeData[i].BlockBytes() +
                                        c.analysisData[i].BlockBytes());
    }
    kept.lists += static_cast<double>(c.flowSamples.BlockBytes() + c.pressureSamples.BlockBytes());
    kept.images = static_cast<double>(c.indexImages.capacity() * sizeof(ImageIndexRecord));
    for (const ImageIndexRecord& image : c.indexImages) kept.images += static_cast<double>(image.image.capacity());
    videoFiles = c.sourceVideoFiles;
    return 0;
  });
  for (Views::TraceViewWindow* window : windows) {
    // The index of the newest point is one below the count.
    const auto newest =
        window->View().Graph().Invoke<std::int32_t>(Graph::Dispid::NearestIndexFromValue, 1e12, std::int16_t{0});
    kept.graphs += static_cast<double>(newest + 1) * (sizeof(Graph::ElementPoint) + 24.0 / 64.0);
  }
  for (const std::string& video : videoFiles) {
    std::error_code error;
    const auto bytes = std::filesystem::file_size(CVideoBuffer::DtaPathFor(video), error);
    if (!error) kept.videos += 4.0 * static_cast<double>(bytes / AnalysisData::kSize);
  }
  return kept;
}

struct Sample {
  double seconds;  // since the phase began
  double resident;
  double heap;
  Kept kept;
};

// Runs the event loop for `minutes`, sampling every 10 s.
std::vector<Sample> RunPhase(const char* name, int minutes, ExperimentData& experiment,
                             const std::vector<Views::TraceViewWindow*>& windows) {
  std::vector<Sample> samples;
  const double start = Bench::WallSeconds();
  const double end = start + minutes * 60.0;
  std::printf("%-10s %7s %9s %9s %9s %9s %9s %9s %9s  %s\n", "phase", "t_s", "rss_MB", "heap_MB", "kept_MB", "lists_MB",
              "images_MB", "graphs_MB", "videos_MB", "load");
  for (;;) {
    const double now = Bench::WallSeconds();
    samples.push_back({now - start, ResidentBytes(), HeapInUse(), KeptByDesign(experiment, windows)});
    const Sample& s = samples.back();
    std::printf("%-10s %7.0f %9.2f %9.2f %9.2f %9.2f %9.2f %9.2f %9.3f  %s\n", name, s.seconds, s.resident / kMB,
                s.heap / kMB, s.kept.Total() / kMB, s.kept.lists / kMB, s.kept.images / kMB, s.kept.graphs / kMB,
                s.kept.videos / kMB, Bench::LoadAverageText().c_str());
    std::fflush(stdout);
    if (now >= end) break;
    Bench::RunFor(kSampleMs);
  }
  return samples;
}

// The first sample at or after `seconds` into the phase.
const Sample& At(const std::vector<Sample>& samples, double seconds) {
  for (const Sample& s : samples)
    if (s.seconds >= seconds) return s;
  return samples.back();
}

void PrintMallocInfo(const char* when) {
  std::printf("malloc_info %s:\n", when);
  std::fflush(stdout);
  malloc_info(0, stdout);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const int idleMinutes = argc > 1 ? std::max(6, std::atoi(argv[1])) : 30;
  const int collectMinutes = argc > 2 ? std::max(3, std::atoi(argv[2])) : 30;
  const Bench::Sandbox sandbox;
  Bench::SetLabEnvironment();
  QApplication qtApp(argc, argv);
  const auto lab = Bench::InitLabApplication();

  bool passed = true;
  {
    Bench::ProgramOnLab program;
    if (const std::string error = program.Start(); !error.empty()) {
      std::fprintf(stderr, "soak: %s\n", error.c_str());
      return 1;
    }
    ExperimentData& experiment = program.Experiment();
    std::printf("four cameras at 30 frames/s, one zone each; %d minutes idle, then %d minutes collecting\n",
                idleMinutes, collectMinutes);

    const std::vector<Sample> idle = RunPhase("idle", idleMinutes, experiment, {});
    PrintMallocInfo("at the end of the idle phase");

    program.StartCollection(true);
    const std::vector<Views::TraceViewWindow*> windows = program.OpenTraceWindows();
    if (!program.Collecting() || windows.size() != 4) {
      std::fprintf(stderr, "soak: the collection did not start with four trace windows (%zu)\n", windows.size());
      return 1;
    }
    const std::vector<Sample> collecting = RunPhase("collecting", collectMinutes, experiment, windows);
    PrintMallocInfo("at the end of the collection");

    // Idle: growth after the first 5 minutes.
    const Sample& idleFrom = At(idle, 300.0);
    const double idleGrowth = idle.back().resident - idleFrom.resident;
    const double idleMinutesMeasured = (idle.back().seconds - idleFrom.seconds) / 60.0;
    const bool idleMet = idleGrowth < 2.0 * kMB;
    std::printf("\nidle, %.1f to %.1f min: resident set %+.2f MB (%.3f MB/min), heap in use %+.2f MB; limit 2 MB: %s\n",
                idleFrom.seconds / 60.0, idle.back().seconds / 60.0, idleGrowth / kMB,
                idleMinutesMeasured > 0 ? idleGrowth / kMB / idleMinutesMeasured : 0.0,
                (idle.back().heap - idleFrom.heap) / kMB, idleMet ? "met" : "NOT met");

    // Collecting: growth from 2 minutes in, against what is kept by design.
    const Sample& from = At(collecting, 120.0);
    const Sample& to = collecting.back();
    const double hours = (to.seconds - from.seconds) / 3600.0;
    const double measured = to.resident - from.resident;
    const Kept grown{to.kept.lists - from.kept.lists, to.kept.images - from.kept.images,
                     to.kept.graphs - from.kept.graphs, to.kept.videos - from.kept.videos};
    const double designed = grown.Total();
    const bool collectMet = designed > 0 && std::abs(measured - designed) <= 0.10 * designed;
    const auto perHour = [hours](double bytes) { return hours > 0 ? bytes / kMB / hours : 0.0; };
    std::printf("collecting, %.1f to %.1f min: resident set %+.2f MB (%.1f MB/h), heap in use %+.2f MB\n",
                from.seconds / 60.0, to.seconds / 60.0, measured / kMB, perHour(measured), (to.heap - from.heap) / kMB);
    std::printf(
        "  kept by design %+.2f MB (%.1f MB/h): record lists %.1f MB/h, index images %.1f MB/h, "
        "graph points %.1f MB/h, video frame index %.2f MB/h\n",
        designed / kMB, perHour(designed), perHour(grown.lists), perHour(grown.images), perHour(grown.graphs),
        perHour(grown.videos));
    std::printf("  measured / by design: %.3f; within 10 %%: %s\n", designed > 0 ? measured / designed : 0.0,
                collectMet ? "met" : "NOT met");
    std::printf("  %s\n", Bench::LoadAverageText().c_str());
    passed = idleMet && collectMet;
  }
  return passed ? 0 : 2;
}
