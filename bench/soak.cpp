// The whole program's memory over a long run, offscreen on the simulated lab
// with four cameras at 30 frames a second, each measuring one zone: first
// idle (no collection, no trace window), then collecting with every camera's
// video recorded and four live trace windows (two vessel diameters, the
// inlet and outlet pressures). The resident set (all of it, and its
// anonymous part, which the pass marks go by) is taken every 10 s, with
// the heap in use and what the experiment record and the open views keep by
// design: the record's lists by the blocks they take, the index images, the
// four graphs' points (16 bytes a point and a summary per 64) and the video
// files' frame index (4 bytes a frame).
//
// Pass marks: idle, the anonymous resident set may grow by less than 2 MB after the
// first 5 minutes; collecting, from 2 minutes after the start on (the frame
// pools and the recorder have filled by then), it may grow by what the
// record and the views keep, within 10 %. At the end of each phase the C
// library's malloc_info is printed.
//
//   bench_soak [idle minutes] [collecting minutes] [--without-memory-policy]
//                                                      (default 30 30)
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
#include "platform/os/memory_policy.h"
#include "program_on_lab.h"

namespace {

using namespace ORV;

constexpr int kSampleMs = 10000;
constexpr double kMB = 1e6;

// The resident set of the process and its anonymous part (the heap, the
// stacks, the mapped blocks: what the program itself makes), bytes; 0 when
// /proc does not say. The rest are pages of the libraries' files, which the
// kernel drops and reads again as the machine's other work needs memory.
struct Resident {
  double all = 0.0;
  double anonymous = 0.0;
};

Resident ResidentBytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  Resident resident;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) resident.all = std::atof(line.c_str() + 6) * 1024.0;
    if (line.rfind("RssAnon:", 0) == 0) resident.anonymous = std::atof(line.c_str() + 8) * 1024.0;
  }
  return resident;
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
  Resident resident;
  double heap;
  Kept kept;
};

// Runs the event loop for `minutes`, sampling every 10 s.
std::vector<Sample> RunPhase(const char* name, int minutes, ExperimentData& experiment,
                             const std::vector<Views::TraceViewWindow*>& windows) {
  std::vector<Sample> samples;
  const double start = Bench::WallSeconds();
  const double end = start + minutes * 60.0;
  std::printf("%-10s %7s %9s %9s %9s %9s %9s %9s %9s %9s  %s\n", "phase", "t_s", "rss_MB", "anon_MB", "heap_MB",
              "kept_MB", "lists_MB", "images_MB", "graphs_MB", "videos_MB", "load");
  for (;;) {
    const double now = Bench::WallSeconds();
    samples.push_back({now - start, ResidentBytes(), HeapInUse(), KeptByDesign(experiment, windows)});
    const Sample& s = samples.back();
    std::printf("%-10s %7.0f %9.2f %9.2f %9.2f %9.2f %9.2f %9.2f %9.2f %9.3f  %s\n", name, s.seconds,
                s.resident.all / kMB, s.resident.anonymous / kMB, s.heap / kMB, s.kept.Total() / kMB,
                s.kept.lists / kMB, s.kept.images / kMB, s.kept.graphs / kMB, s.kept.videos / kMB,
                Bench::LoadAverageText().c_str());
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

// malloc_info in full, then in one line: the arenas, the memory taken from
// the system, what of it is freed but held, and how long handing the freed
// pages back (what the program's trimmer does once a minute) takes now.
void PrintMallocInfo(const char* when) {
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* memory = open_memstream(&text, &size);
  if (memory == nullptr) return;
  malloc_info(0, memory);
  std::fclose(memory);
  const std::string xml(text, size);
  std::free(text);
  std::printf("malloc_info %s:\n%s", when, xml.c_str());

  int arenas = 0;
  for (std::size_t at = xml.find("<heap nr="); at != std::string::npos; at = xml.find("<heap nr=", at + 1)) ++arenas;
  // The totals over every arena follow the last arena.
  const std::size_t totals = xml.rfind("</heap>");
  const auto sizeOf = [&](const std::string& tag) {
    const std::size_t at = xml.find(tag, totals == std::string::npos ? 0 : totals);
    if (at == std::string::npos) return 0.0;
    const std::size_t value = xml.find("size=\"", at);
    return value == std::string::npos ? 0.0 : std::atof(xml.c_str() + value + 6);
  };
  const double fromSystem = sizeOf("<system type=\"current\"");
  const double freeHeld = sizeOf("<total type=\"fast\"") + sizeOf("<total type=\"rest\"");
  const double trimStart = Bench::WallSeconds();
  OS::ReturnFreeMemory();
  const double trimMs = 1e3 * (Bench::WallSeconds() - trimStart);
  std::printf(
      "malloc_info %s, in short: %d arenas, %.1f MB from the system, %.1f MB of it free but held; "
      "handing it back took %.1f ms; %s\n",
      when, arenas, fromSystem / kMB, freeHeld / kMB, trimMs, Bench::LoadAverageText().c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  // As the program's main does, unless the run is to show the allocator
  // without it.
  const bool withPolicy = !(argc > 3 && std::string(argv[3]) == "--without-memory-policy");
  if (withPolicy) OS::ApplyProgramMemoryPolicy();
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
    std::printf("four cameras at 30 frames/s, one zone each; %d minutes idle, then %d minutes collecting; %s\n",
                idleMinutes, collectMinutes,
                withPolicy ? "the program's memory policy (arenas capped, freed memory handed back each minute)"
                           : "the allocator as it comes, without the program's memory policy");

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
    const double idleGrowth = idle.back().resident.anonymous - idleFrom.resident.anonymous;
    const double idleMinutesMeasured = (idle.back().seconds - idleFrom.seconds) / 60.0;
    const bool idleMet = idleGrowth < 2.0 * kMB;
    std::printf(
        "\nidle, %.1f to %.1f min: anonymous resident set %+.2f MB (%.3f MB/min), heap in use %+.2f MB, "
        "whole resident set %+.2f MB; limit 2 MB: %s\n",
        idleFrom.seconds / 60.0, idle.back().seconds / 60.0, idleGrowth / kMB,
        idleMinutesMeasured > 0 ? idleGrowth / kMB / idleMinutesMeasured : 0.0,
        (idle.back().heap - idleFrom.heap) / kMB, (idle.back().resident.all - idleFrom.resident.all) / kMB,
        idleMet ? "met" : "NOT met");

    // Collecting: growth from 2 minutes in, against what is kept by design.
    const Sample& from = At(collecting, 120.0);
    const Sample& to = collecting.back();
    const double hours = (to.seconds - from.seconds) / 3600.0;
    const double measured = to.resident.anonymous - from.resident.anonymous;
    const Kept grown{to.kept.lists - from.kept.lists, to.kept.images - from.kept.images,
                     to.kept.graphs - from.kept.graphs, to.kept.videos - from.kept.videos};
    const double designed = grown.Total();
    const bool collectMet = designed > 0 && std::abs(measured - designed) <= 0.10 * designed;
    const auto perHour = [hours](double bytes) { return hours > 0 ? bytes / kMB / hours : 0.0; };
    std::printf(
        "collecting, %.1f to %.1f min: anonymous resident set %+.2f MB (%.1f MB/h), heap in use %+.2f MB (%.1f MB/h), "
        "whole resident set %+.2f MB (%.1f MB/h)\n",
        from.seconds / 60.0, to.seconds / 60.0, measured / kMB, perHour(measured), (to.heap - from.heap) / kMB,
        perHour(to.heap - from.heap), (to.resident.all - from.resident.all) / kMB,
        perHour(to.resident.all - from.resident.all));
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
