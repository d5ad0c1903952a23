#pragma once
// Fakes around a trace view: a graph that records every dispatch call and
// answers like the graph control does (points, annotations, ranges), a
// message target that collects posts, a host, and the string table's texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "graph_control/graph_interface.h"
#include "platform/com/dispatch.h"
#include "platform/os/message_target.h"
#include "views/trace_view.h"

namespace ORV::Views::Test {

using Com::DISPID;
using Com::HRESULT;
using Com::Variant;

struct Point {
  double x;
  double y;
};

class RecordingGraph final : public Com::IDispatch {
 public:
  HRESULT Invoke(DISPID id, unsigned kind, std::span<const Variant> args, Variant* result) override {
    std::string line = (kind & Com::DISPATCH_PROPERTYPUT) ? "put " : (kind & Com::DISPATCH_PROPERTYGET) ? "get " : "";
    line += std::to_string(id);
    for (const Variant& a : args) line += a.IsByRef() ? " BYREF" : " " + a.Describe();
    calls.push_back(line);
    Variant out;
    switch (id) {
      case Graph::Dispid::PlotXY:
        points.push_back({Number(args[0]), Number(args[1])});
        break;
      case Graph::Dispid::ClearGraph:
        points.clear();
        annotations = 0;
        ++clears;
        break;
      case Graph::Dispid::SetRange:
        out = Variant(setRangeResult);
        break;
      case Graph::Dispid::GetTimeAtPos:
        out = Variant(timeAtPos);
        break;
      case Graph::Dispid::AddAnnotation:
        ++annotations;
        break;
      case Graph::Dispid::DeleteAnnotation:
        --annotations;
        break;
      case Graph::Dispid::GetCurrentAnnotationID:
        out = Variant(static_cast<std::int16_t>(annotations - 1));
        break;
      case Graph::Dispid::NearestIndexFromValue:
        out = Variant(Nearest(Number(args[0])));
        break;
      case Graph::Dispid::ElementYValue:
        out = Variant(points.at(static_cast<std::size_t>(args[0].Get<std::int32_t>())).y);
        break;
      case Graph::Dispid::GetRangesMinAndMax: {
        double lo = rangeMin, hi = rangeMax;
        *args[0].Get<double*>() = lo;
        *args[1].Get<double*>() = hi;
        break;
      }
      default:
        break;
    }
    if (result) *result = out;
    return Com::S_OK;
  }

  // The calls whose line starts with `prefix` ("51 " for PlotXY).
  std::size_t Count(const std::string& prefix) const {
    return static_cast<std::size_t>(
        std::count_if(calls.begin(), calls.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
  }
  std::size_t Plots() const { return Count("51 "); }

  std::vector<std::string> calls;
  std::vector<Point> points;
  int annotations = 0;
  int clears = 0;
  double rangeMin = 2.0;
  double rangeMax = 8.0;
  bool setRangeResult = true;
  double timeAtPos = 0.0;

 private:
  static double Number(const Variant& v) {
    if (v.Holds<double>()) return v.Get<double>();
    if (v.Holds<std::int32_t>()) return v.Get<std::int32_t>();
    if (v.Holds<std::int16_t>()) return v.Get<std::int16_t>();
    return std::numeric_limits<double>::quiet_NaN();
  }
  std::int32_t Nearest(double x) const {
    std::int32_t best = -1;
    for (std::size_t i = 0; i < points.size(); ++i)
      if (best < 0 || std::fabs(points[i].x - x) < std::fabs(points[static_cast<std::size_t>(best)].x - x))
        best = static_cast<std::int32_t>(i);
    return best;
  }
};

// Collects the posted messages; any thread.
class PostBox final : public OS::MessageTarget {
 public:
  bool PostMessage(std::uint32_t message, OS::WPARAM, OS::LPARAM) override {
    std::lock_guard lock(mutex_);
    messages_.push_back(message);
    return true;
  }
  std::vector<std::uint32_t> Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(messages_, {});
  }
  std::size_t Size() const {
    std::lock_guard lock(mutex_);
    return messages_.size();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::uint32_t> messages_;
};

class FakeHost final : public TraceViewHost {
 public:
  void SetBusy(bool busy) override { busyCalls.push_back(busy); }
  void Invalidate() override { ++invalidations; }
  void StartRedrawTimer(int ms) override { redrawTimers.push_back(ms); }
  void RedrawGraph() override { ++graphRedraws; }
  std::vector<bool> busyCalls;
  int invalidations = 0;
  std::vector<int> redrawTimers;  // the redraw timers asked for, in ms
  int graphRedraws = 0;
};

// The frame: records what the view reports.
class FakeFrame final : public TraceViewFrame {
 public:
  struct Post {
    std::uint32_t message;
    OS::WPARAM wParam;
    OS::LPARAM lParam;
    bool operator==(const Post&) const = default;
  };
  void PostToMainWindow(std::uint32_t message, OS::WPARAM wParam, OS::LPARAM lParam) override {
    posts.push_back({message, wParam, lParam});
  }
  void SetCursorReadout(const std::string& text) override { readout = text; }
  void SelectTraceRange(double start, double stop) override { selected = {start, stop}; }
  void EnterMarker(double time) override { markerTimes.push_back(time); }
  void EnsureActionSheetOpen() override { ++actionSheetOpened; }
  std::optional<Video> RecordedVideo(int) const override { return video; }
  void ShowVideoFrame(int camera, int frame) override { shownFrames.push_back({camera, frame}); }

  std::vector<Post> posts;
  std::string readout;
  std::pair<double, double> selected{-1, -1};
  std::vector<double> markerTimes;
  int actionSheetOpened = 0;
  std::optional<Video> video;
  std::vector<std::pair<int, int>> shownFrames;
};

// The texts of the program's string table that the views use.
inline std::string ProgramText(std::uint32_t id) {
  static const std::map<std::uint32_t, std::string> texts = {{16, "None"},
                                                             {17, "Left Wall Thickness"},
                                                             {18, "Right Wall Thickness"},
                                                             {19, "Average Wall Thickness"},
                                                             {20, "Outer Diameter"},
                                                             {21, "Inner Diameter"},
                                                             {22, "Vessel Area"},
                                                             {23, "Lumen Area"},
                                                             {24, "Cross Sectional Area"},
                                                             {25, "Media/Lumen Ratio"},
                                                             {26, "Shear Stress"},
                                                             {27, "Inlet Pressure (P1) "},
                                                             {28, "Outlet Pressure (P2)"},
                                                             {29, "Mean Pressure"},
                                                             {30, "Flow"},
                                                             {31, "Vascular Resistance"},
                                                             {32, "Temperature"},
                                                             {33, "Force"},
                                                             {34, "pH"},
                                                             {35, "Pulse"},
                                                             {36, "Extra 5"},
                                                             {39, "Zone"},
                                                             {43, "None"},
                                                             {44, "µm"},
                                                             {45, "mmHg"},
                                                             {46, "Degrees (c)"},
                                                             {47, "µm²"},
                                                             {48, "pH"},
                                                             {49, "dyne/cm²"},
                                                             {50, "mN"},
                                                             {51, "µL/min"},
                                                             {52, "dyne * s/cm³"},
                                                             {142, "Zone 1"},
                                                             {143, "Zone 2"},
                                                             {144, "Zone 3"},
                                                             {145, "Zone 4"},
                                                             {247, "Enable auto range"},
                                                             {253, "Show frame at time %s"}};
  const auto it = texts.find(id);
  return it == texts.end() ? std::string() : it->second;
}

}  // namespace ORV::Views::Test
