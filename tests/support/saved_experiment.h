#pragma once
// What an experiment file holds, read back into a record of its own (its
// own stores and clock in a private folder), as plain values two files can
// be compared by: everything a user sees of a saved experiment. Videos are
// compared by their contents, since every save names its own copies.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "core/experiment/experiment_file.h"
#include "core/storage/relative_time.h"
#include "platform/os/folders.h"
#include "tests/support/fake_window_host.h"

namespace ORV::Test {

struct SavedExperiment {
  int result = 0;  // what the reader gave (1 read, 2 read from an older version ...)
  std::uint32_t startTick = 0;
  std::uint32_t lastSampleTime = 0;
  std::string title;
  std::string description;
  std::vector<std::tuple<std::uint32_t, std::string, std::uint32_t>> markers;  // time, text, camera
  std::vector<std::pair<std::uint32_t, std::string>> actions;
  std::vector<std::vector<std::uint8_t>> calculations;  // stored forms
  std::vector<std::uint32_t> pressureTimes;
  std::vector<std::uint32_t> flowTimes;
  std::vector<std::vector<std::uint32_t>> zoneTimes;        // per camera
  std::vector<std::size_t> analysisRecords;                 // per camera
  std::vector<std::vector<char>> videos;                    // per camera: the video's bytes ("" without one)
  std::vector<std::string> videoPaths;                      // per camera, as the file names them
  std::vector<std::array<std::uint32_t, 5>> clockSegments;  // start, pause, startTime, frozen, pausedTotal
  std::size_t indexImages = 0;
  std::array<float, 5> calibration{};  // the experiment values the file sets
  // The trace windows the file reopens: kind and camera. (Their visible
  // ranges are the views' own: an opened experiment is shown whole.)
  std::vector<std::pair<std::int32_t, std::int32_t>> traceWindows;

  // What differs from `other`, one line each; empty when the two files hold
  // the same experiment.
  std::vector<std::string> DifferencesFrom(const SavedExperiment& other) const {
    std::vector<std::string> out;
    const auto check = [&out](bool same, const std::string& what) {
      if (!same) out.push_back(what);
    };
    check(result == other.result, "reader result " + std::to_string(result) + " / " + std::to_string(other.result));
    check(startTick == other.startTick, "start tick");
    check(lastSampleTime == other.lastSampleTime,
          "last sample time " + std::to_string(lastSampleTime) + " / " + std::to_string(other.lastSampleTime));
    check(title == other.title && description == other.description, "title or description");
    check(markers == other.markers,
          "markers (" + std::to_string(markers.size()) + " / " + std::to_string(other.markers.size()) + ")");
    check(actions == other.actions,
          "actions (" + std::to_string(actions.size()) + " / " + std::to_string(other.actions.size()) + ")");
    check(calculations == other.calculations, "data-sheet rows (" + std::to_string(calculations.size()) + " / " +
                                                  std::to_string(other.calculations.size()) + ")");
    check(pressureTimes == other.pressureTimes, "pressure samples");
    check(flowTimes == other.flowTimes, "flow samples");
    check(zoneTimes == other.zoneTimes, "zone records");
    check(analysisRecords == other.analysisRecords, "video analysis records");
    check(videos == other.videos, "video contents");
    check(clockSegments == other.clockSegments, "clock segments");
    check(indexImages == other.indexImages, "index images");
    check(calibration == other.calibration, "calibration");
    const auto windowsText = [](const SavedExperiment& e) {
      std::string text;
      for (const auto& [kind, camera] : e.traceWindows)
        text += " (" + std::to_string(kind) + ", camera " + std::to_string(camera) + ")";
      return text;
    };
    check(traceWindows == other.traceWindows, "trace windows" + windowsText(*this) + " /" + windowsText(other));
    return out;
  }
};

inline std::vector<char> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Reads `path` as the program opens it, into a record of its own.
inline SavedExperiment ReadSavedExperiment(const std::string& path, Configuration& configuration) {
  SavedExperiment saved;
  const std::string folder = OS::MakePrivateWorkingDir("tarvix5-saved-");
  EXPECT_FALSE(folder.empty());
  // The reader sets the file's calibration in the configuration; the
  // experiment of the caller keeps its own.
  const auto experimentValues = configuration.ExperimentValues;
  {
    RelativeTime::RelativeTime clock;
    clock.OpenStore(folder + "/clock");
    ExperimentData record(configuration, clock);
    EXPECT_TRUE(record.OpenStores(folder));
    ExperimentFileContext context(clock);
    context.productType = static_cast<std::uint32_t>(configuration.ProductType);
    FakeWindowHost windows;
    context.windows = &windows;
    saved.result = OpenExperiment(record, path, context);
    saved.calibration = configuration.ExperimentValues;
    for (const TraceWindowState& w : windows.windows) saved.traceWindows.emplace_back(w.traceCode, w.camera);
    saved.startTick = record.startTick.load();
    saved.lastSampleTime = record.lastSampleTime.load();
    for (std::size_t i = 0; i < record.MarkerCount(); ++i) {
      const MarkerData2 marker = record.GetMarker(i);
      saved.markers.emplace_back(marker.time, marker.text, marker.camera);
    }
    record.WithStores([&](MarkerStore&, ActionStore& actions) {
      for (std::size_t i = 0; i < actions.Count(); ++i) {
        const ActionData action = actions.Get(i);
        saved.actions.emplace_back(action.time, action.text);
      }
      return 0;
    });
    record.Read([&](const ExperimentContents& c) {
      saved.title = c.title;
      saved.description = c.description;
      for (const CalculationData& row : c.calculations) {
        VectorSerializationStream bytes;
        WriteCalculationData(bytes, row);
        saved.calculations.emplace_back(bytes.Data(), bytes.Data() + bytes.Size());
      }
      for (const PMK4xData3& s : c.pressureSamples) saved.pressureTimes.push_back(s.time);
      for (const FMASL1600Data& s : c.flowSamples) saved.flowTimes.push_back(s.time);
      const std::size_t cameras = c.CameraCount(kModeFile);
      for (std::size_t camera = 0; camera < cameras; ++camera) {
        std::vector<std::uint32_t> times;
        for (const ZoneData& z : c.zoneData[camera]) times.push_back(z.time);
        saved.zoneTimes.push_back(std::move(times));
        saved.analysisRecords.push_back(c.analysisData[camera].size());
        saved.videoPaths.push_back(c.videoFiles[camera]);
      }
      saved.indexImages = c.indexImages.size();
      return 0;
    });
    {
      auto lock = clock.Lock();
      ClockSegmentStore& store = clock.Store();
      for (std::size_t i = 0; i < store.Count(); ++i) {
        const ClockSegment s = store.Get(i);
        saved.clockSegments.push_back({s.start, s.pause, s.startTime, s.frozen, s.pausedTotal});
      }
    }
    record.CloseStores();
    clock.CloseStore();
  }
  configuration.ExperimentValues = experimentValues;
  OS::RemoveTree(folder);
  for (const std::string& video : saved.videoPaths)
    saved.videos.push_back(video.empty() ? std::vector<char>{} : FileBytes(video));
  return saved;
}

}  // namespace ORV::Test
