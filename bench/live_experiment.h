#pragma once
// An experiment record as a data collection runs it, for the benchmarks:
// a running clock, live mode, two receivers of zone and pressure values, the
// zone and pressure backup streams open in a private working folder (removed
// at the end).
#include <cstdlib>
#include <string>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "core/storage/relative_time.h"
#include "platform/os/folders.h"

namespace ORV::Bench {

class Receiver : public ImageAnalysisConsumer, public PressureDataConsumer {
 public:
  void OnZoneValue(std::uint32_t, int, float ol, float, float, float, int) override { sum += ol; }
  void OnMarkerAdded(const MarkerData2&) override {}
  bool OnMarkerRemoved(std::uint32_t) override { return true; }
  void OnPressureData(const PMK4xData3& s) override { sum += s.p1; }
  double sum = 0;
};

struct WorkingFolder {
  WorkingFolder() : path(OS::MakePrivateWorkingDir("orv-bench-")) { setenv("XDG_DATA_HOME", path.c_str(), 1); }
  ~WorkingFolder() { OS::RemoveTree(path); }
  const std::string path;
};

class LiveExperiment {
 public:
  LiveExperiment() {
    clock.Start();
    data.mode = kModeLive;
    for (Receiver* r : {&a, &b}) {
      data.AddImageAnalysisConsumer(r);
      data.AddPressureConsumer(r);
    }
    for (int c = 0; c < kMaxCameras; ++c)
      data.Streams().zone[c].Open(folder.path + "/ZoneData_" + std::to_string(c) + ".dta");
    data.Streams().pressure.Open(folder.path + "/Pressure_0.dta");
  }
  ~LiveExperiment() { data.Streams().CloseAll(); }

  WorkingFolder folder;
  Configuration configuration;
  RelativeTime::RelativeTime clock;
  ExperimentData data{configuration, clock};
  Receiver a, b;
};

}  // namespace ORV::Bench
