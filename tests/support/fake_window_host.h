#pragma once
// A trace-window host that only notes the windows opened through it, as
// the experiment file reopens them, for tests.
#include <cstdint>
#include <vector>

#include "core/base/camera_limit.h"
#include "core/experiment/trace_window_host.h"

namespace ORV::Test {

class FakeWindowHost : public TraceWindowHost {
 public:
  std::vector<TraceWindowState> TraceWindows() const override { return windows; }
  int OpenTraceWindow() override {
    windows.push_back({});
    windows.back().zones.assign(kMaxCameras, 0);
    return static_cast<int>(windows.size()) - 1;
  }
  void ShowTrace(int w, std::int32_t code) override { windows.at(static_cast<std::size_t>(w)).traceCode = code; }
  void SetCamera(int w, std::int32_t camera) override { windows.at(static_cast<std::size_t>(w)).camera = camera; }
  void SetZone(int w, std::int32_t camera, std::int32_t zone) override {
    auto& zones = windows.at(static_cast<std::size_t>(w)).zones;
    if (camera >= 0 && static_cast<std::size_t>(camera) < zones.size()) zones[static_cast<std::size_t>(camera)] = zone;
  }
  void ConfigureGraphForTrace(int, std::int32_t) override {}
  void SetVisibleRange(int w, double start, double end) override {
    windows.at(static_cast<std::size_t>(w)).visibleStart = start;
    windows.at(static_cast<std::size_t>(w)).visibleEnd = end;
  }
  void Redraw(int) override {}
  bool IsSheetOpen(SheetKind) const override { return false; }
  void OpenSheet(SheetKind) override {}

  std::vector<TraceWindowState> windows;
};

}  // namespace ORV::Test
