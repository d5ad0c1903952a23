// The trace view's commands, axis operations, navigation, marker moves,
// graph events and context menu.
#include <cmath>
#include <cstdio>

#include "core/base/time_text.h"
#include "core/base/trace_kinds.h"
#include "core/experiment/experiment_data.h"
#include "core/storage/relative_time.h"
#include "custom_traces/custom_trace_context.h"
#include "graph_control/graph_interface.h"
#include "views/trace_view.h"

namespace ORV::Views {

namespace Dispid = Graph::Dispid;

namespace {

constexpr double kLowestShift = -1000.0;
constexpr std::uint32_t kEnableAutoRangeText = 247;
constexpr std::uint32_t kShowFrameText = 253;
constexpr std::uint32_t kZoneTextBase = 142;  // "Zone 1" .. "Zone 4"

double Single(double v) { return static_cast<double>(static_cast<float>(v)); }

}  // namespace

// ---- commands ----

bool CPelmoraView::OnCommand(int command) {
  if (command == kCmdAutoRangeNow) {
    OnAutoRangeNow();
  } else if (command == kCmdShowVideoFrame) {
    OnShowVideoFrame();
  } else if (command >= kCmdFirstTraceKind && command <= kCmdLastTraceKind) {
    OnShowTraceKind(command - kCmdFirstTraceKind);
  } else if (command >= kCmdFirstCamera && command <= kCmdLastCamera) {
    OnSelectCamera(command - kCmdFirstCamera);
  } else if (command >= kCmdFirstCustomTrace && command <= kCmdLastCustomTrace) {
    OnShowCustomTrace(command);
  } else if (command >= kCmdFirstZone && command <= kCmdLastZone) {
    OnSelectZone(command - kCmdFirstZone + 1);
  } else if (command >= kCmdFirstZoneButton && command <= kCmdLastZoneButton) {
    OnSelectZone(command - kCmdFirstZoneButton + 1);
  } else {
    return false;
  }
  return true;
}

void CPelmoraView::OnShowTraceKind(int kind) { ShowTrace(kind); }

void CPelmoraView::OnShowCustomTrace(int command) { ShowTrace(kFirstCustomTraceId + (command - kCmdFirstCustomTrace)); }

void CPelmoraView::OnSelectCamera(int camera) {
  if (camera < 0 || camera >= static_cast<int>(kMaxCameras)) return;
  currentCamera_ = camera;
  selectedZone_[camera] = -1;
  // The trace stays; the set-up selects zone 1 of a camera with zones again.
  doc_.SetTraceSource(code_, custom_);
  ConfigureGraphForTrace(code_);
}

void CPelmoraView::OnSelectZone(int zone) {
  SetSelectedZone(currentCamera_, zone);
  ConfigureGraphForTrace(code_);
}

void CPelmoraView::OnAutoRangeNow() {
  if (!useAutoRange_) ApplyTraceSettings();
  autoRangeNow_ = true;
  ConfigureGraphForTrace(code_);
}

void CPelmoraView::TraceSettingsAccepted() {
  SetupGraphForTrace(doc_.TraceCode());
  if (!graph_) return;
  graph_.Put(Dispid::UseAutoRange, useAutoRange_);
  graph_.Invoke<bool>(Dispid::SetRange, -1.0, -1.0, yMin_, yMax_, std::int32_t{autoRangeNow_});
}

void CPelmoraView::OnShowVideoFrame() {
  if (!graph_ || !frame_) return;
  const double t = graph_.Invoke<double>(Dispid::GetTimeAtPos, std::int32_t{0});
  const int camera = currentCamera_;
  const auto video = frame_->RecordedVideo(camera);
  if (!video) return;
  const double fps = std::ceil(static_cast<double>(video->frameRate));
  const double whole = std::floor(t);
  const double frame = (t * 100.0 - whole * 100.0) * fps / 100.0 + whole * fps;
  if (frame >= 0.0 && frame < video->frameCount) frame_->ShowVideoFrame(camera, static_cast<int>(frame));
}

// ---- axes ----

void CPelmoraView::ZoomY(int direction) {
  if (!graph_) return;
  if (autoRangeNow_) graph_.Invoke(Dispid::GetRangesMinAndMax, &yMin_, &yMax_);
  autoRangeNow_ = false;
  double newMax = Single(direction > 0 ? yMax_ * 1.100000023841858 : yMax_ * 0.9);
  if (yMin_ >= newMax) newMax = Single(yMax_);
  if (graph_.Invoke<bool>(Dispid::SetRange, -1.0, -1.0, yMin_, newMax, std::int32_t{0})) yMax_ = newMax;
}

void CPelmoraView::ShiftY(int direction) {
  if (!graph_) return;
  if (autoRangeNow_) graph_.Invoke(Dispid::GetRangesMinAndMax, &yMin_, &yMax_);
  autoRangeNow_ = false;
  const double step = (yMax_ - yMin_) * 0.1;
  if (direction < 0) {
    if (yMin_ - step >= kLowestShift) {
      yMin_ -= step;
      yMax_ -= step;
    }
  } else if (direction > 0) {
    yMin_ += step;
    yMax_ += step;
  }
  if (yMin_ == yMax_) yMax_ += 0.5;
  graph_.Invoke<bool>(Dispid::SetRange, -1.0, -1.0, yMin_, yMax_, std::int32_t{0});
}

void CPelmoraView::ZoomX(bool out) {
  if (!graph_) return;
  xMax_ = Single(xMax_ * (out ? 1.25 : 0.8));
  ApplyRange();
  if (autoRangeNow_) graph_.Invoke(Dispid::GetRangesMinAndMax, &yMin_, &yMax_);
  if (frame_) frame_->PostToMainWindow(WM_TRACE_WINDOW_LENGTH, 0, static_cast<OS::LPARAM>((xMax_ - xMin_) * 1000.0));
}

void CPelmoraView::SetVisibleRange(double start, double end) {
  xMin_ = start;
  xMax_ = end;
  ApplyRange();
}

void CPelmoraView::ShowNewestWindow() {
  AdvanceWindow(currentTime_);
  ApplyRange();
}

void CPelmoraView::SelectRange(double start, double stop) {
  if (graph_) graph_.Invoke(Dispid::SelectTrace, start, stop);
}

// ---- wheel, keys and navigation ----

void CPelmoraView::OnMouseWheel(WheelKeys keys, int delta) {
  if (keys.shift) {
    if (delta != 0 && frame_)
      frame_->PostToMainWindow(WM_TRACE_NAVIGATE, 0, delta > 0 ? windowLength_ : -windowLength_);
  } else if (keys.control) {
    if (delta != 0) ZoomY(delta > 0 ? 1 : -1);
  } else if (keys.alt) {
    if (delta != 0) ZoomX(delta > 0);
  } else {
    ShiftY(delta > 0 ? 1 : delta < 0 ? -1 : 0);
  }
}

void CPelmoraView::OnNavigationKey(NavigationKey key) {
  struct Code {
    OS::WPARAM code;
    OS::LPARAM n;
  };
  static constexpr Code kCodes[] = {{2, 0}, {1, 0}, {0, -1}, {3, 0}, {0, 1}, {4, 0}};
  const Code c = kCodes[static_cast<int>(key)];
  if (self_) self_->PostMessage(WM_TRACE_NAVIGATE, c.code, c.n);
}

void CPelmoraView::OnNavigate(OS::WPARAM code, OS::LPARAM n) {
  switch (code) {
    case 0:
    case 1:
    case 2:
      if (frame_) frame_->PostToMainWindow(WM_TRACE_NAVIGATE, code, static_cast<OS::LPARAM>(windowLength_) * n);
      break;
    case 3:
      ShiftY(1);
      break;
    case 4:
      ShiftY(-1);
      break;
    case 10:
      ZoomY(static_cast<int>(n));
      break;
    case 11:
      ZoomX(n >= 1);
      break;
    default:
      break;
  }
}

bool CPelmoraView::HandleFrameMessage(std::uint32_t message, OS::WPARAM wParam, OS::LPARAM lParam) {
  if (message == WM_TRACE_NAVIGATE) {
    OnNavigate(wParam, lParam);
    return true;
  }
  if (message == WM_TRACE_MOVE_MARKER) {
    OnMoveMarker(wParam, lParam);
    return true;
  }
  return false;
}

// ---- markers ----

bool CPelmoraView::OnMoveMarker(OS::WPARAM annotation, OS::LPARAM ms) {
  // The graph names the annotation it moved; the view's map says whose
  // marker it shows (markers of other cameras have no annotation here).
  const std::uint32_t* id = nullptr;
  for (const auto& [markerId, index] : annotations_)
    if (static_cast<OS::WPARAM>(index) == annotation) id = &markerId;
  if (!id) return false;
  const std::uint32_t markerId = *id;
  const std::vector<std::uint32_t> ids = experiment_.MarkerIds();
  std::size_t position = 0;
  while (position < ids.size() && ids[position] != markerId) ++position;
  if (position == ids.size()) return false;
  const MarkerData2 marker = experiment_.GetMarker(position);
  const bool open = experiment_.WithStores([](MarkerStore& markers, ActionStore&) { return markers.IsOpen(); });
  if (!open) return false;

  if (frame_) frame_->EnsureActionSheetOpen();
  // The marker at its new time first, so that a failure in between keeps
  // one of the two; then the old one leaves the views and the store.
  const auto time = static_cast<std::uint32_t>(static_cast<std::int64_t>(startTime_) + ms);
  experiment_.AddMarker(marker.text, time, static_cast<int>(marker.camera));
  experiment_.RemoveMarkerFromViews(markerId);
  experiment_.WithStores([&](MarkerStore& markers, ActionStore&) { return markers.Delete(markerId); });
  experiment_.modified = true;
  return true;
}

// ---- graph events ----

void CPelmoraView::OnGraphCursorPosition(double x, double y) {
  if (code_ == 0 || !frame_) return;
  const double whole = std::max(0.0, std::floor(x + 0.5));
  char value[64];
  std::snprintf(value, sizeof value, "%.1f", y);
  std::string readout = "(";
  readout += FormatTimeSeconds(static_cast<std::uint32_t>(whole));
  readout += " , ";
  readout += value;
  readout += ")";
  frame_->SetCursorReadout(readout);
}

void CPelmoraView::OnGraphSelectTrace(double start, double stop) {
  if (frame_) frame_->SelectTraceRange(start, stop);
}

void CPelmoraView::OnGraphDoubleClick(double time) {
  if (code_ != 0 && frame_) frame_->EnterMarker(time);
}

bool CPelmoraView::AskMarkerAtClockTime() {
  if (code_ == 0 || !frame_ || experiment_.mode.load() != kModeLive) return false;
  const std::uint32_t ms = experiment_.ExperimentClock().Now() - startTime_;
  // Half a millisecond on: the marker's time is the whole milliseconds of
  // the seconds given.
  frame_->EnterMarker((ms + 0.5) / 1000.0);
  return true;
}

void CPelmoraView::OnGraphEvent(Com::DISPID id, std::span<const Com::Variant> args) {
  const auto number = [&](std::size_t i) {
    Com::Variant v;
    return i < args.size() && Com::Succeeded(args[i].ChangeType(Com::VT_R8, v)) ? v.Get<double>() : 0.0;
  };
  switch (id) {
    case Graph::EventId::CursorPosition:
      OnGraphCursorPosition(number(0), number(1));
      break;
    case Graph::EventId::OnSelectTrace:
      OnGraphSelectTrace(number(0), number(1));
      break;
    case Graph::EventId::LButtonDBLClick:
      OnGraphDoubleClick(number(0));
      break;
    default:
      break;
  }
}

// ---- context menu ----

std::vector<MenuItem> CPelmoraView::ContextMenu(double clickTime) const {
  std::vector<MenuItem> menu;
  const auto separator = [&] { menu.push_back(MenuItem{}); };
  if (code_ != 0) {
    menu.push_back({texts_(kEnableAutoRangeText), kCmdAutoRangeNow});
    separator();
  }
  std::string frameText = texts_(kShowFrameText);
  if (const auto at = frameText.find("%s"); at != std::string::npos)
    frameText.replace(at, 2, FormatTimeSecondsFraction(clickTime));
  menu.push_back({frameText, kCmdShowVideoFrame});
  separator();

  const int camera = currentCamera_;
  if (cameraCount_ > 1) {
    const std::uint32_t mode = experiment_.mode;
    const auto labels = experiment_.Read(
        [&](const ExperimentContents& c) { return mode == kModeFile ? c.fileCameraNames : c.cameraLabels; });
    for (int i = 0; i < cameraCount_ && i < static_cast<int>(labels.size()); ++i)
      menu.push_back({labels[static_cast<std::size_t>(i)], kCmdFirstCamera + i, i == camera});
    separator();
  }
  if (code_ != 0 && IsCameraTrace(code_) && camera >= 0 && camera < static_cast<int>(kMaxCameras)) {
    const int zones = std::min(zoneCount_[camera], 4);
    for (int z = 1; z <= zones; ++z)
      menu.push_back({texts_(kZoneTextBase + static_cast<std::uint32_t>(z - 1)), kCmdFirstZone + z - 1,
                      z == selectedZone_[camera].load()});
    if (zones > 0) separator();
  }

  // Kinds of an instrument that is not there cannot be chosen.
  const bool incubation = devices_.productType == 2;
  const auto available = [&](int kind) {
    switch (kind) {
      case kTraceNone:
        return code_ != 0;
      case kTraceFlow:
        return devices_.flowMeter;
      case kTraceTemperature:
        return incubation ? devices_.microscope : devices_.pressureInterface;
      case kTraceInlet:
      case kTraceOutlet:
      case kTraceMeanPressure:
      case kTraceVascularResistance:
      case kTraceForce:
      case kTracePH:
      case kTracePulse:
        return devices_.pressureInterface;
      default:
        return true;
    }
  };
  for (int kind = 0; kind < kTracePuller; ++kind)
    menu.push_back({texts_(kTraceKindNameBase + static_cast<std::uint32_t>(kind)), kCmdFirstTraceKind + kind,
                    kind == code_, available(kind)});
  const auto custom = experiment_.GetCustomTraces();
  if (!custom.empty()) separator();
  for (const auto& [identity, name] : custom) {
    const int command = kCmdFirstCustomTrace + (identity - kFirstCustomTraceId);
    if (command > kCmdLastCustomTrace) break;
    menu.push_back({name, command, identity == code_});
  }
  return menu;
}

}  // namespace ORV::Views
