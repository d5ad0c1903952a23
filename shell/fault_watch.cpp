#include "shell/fault_watch.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "instruments/device.h"
#include "platform/ui/string_ids.h"

namespace ORV {

std::string FaultWatch::NameOf(const WatchedSource& source) {
  switch (source.kind) {
    case kDeviceSinglePressureInterface:
      return host_.Text(UI::kSingleInterfaceNameString);
    case kDeviceFlowMeter:
      return host_.Text(UI::kFlowMeterNameString);
    case kDeviceMultiInterface:
      return host_.Text(UI::kMultiInterfaceNameString);
    case kDeviceMicroscope:
      return host_.Text(UI::kMicroscopeNameString, {std::to_string(source.index + 1)});
    case kDeviceHeatController:
      return host_.Text(UI::kHeatControllerNameString);
    case kCameraSource:
      return host_.CameraName(source.index);
    default:
      return {};
  }
}

void FaultWatch::Lost(const WatchedSource& source, CameraFault fault) {
  if (IsLost(source)) return;
  lost_[source] = host_.SteadyMs();
  const std::string name = NameOf(source);
  if (host_.Collecting()) host_.AddAction(host_.Text(UI::kInstrumentLostActionString, {name}));
  host_.SourceChanged(source, true);
  const std::uint32_t text = source.kind != kCameraSource          ? UI::kInstrumentLostString
                             : fault == CameraFault::kTornPictures ? UI::kCameraTornString
                                                                   : UI::kCameraLostString;
  host_.Tell(host_.Text(text, {name}));
}

void FaultWatch::Back(const WatchedSource& source) {
  const auto found = lost_.find(source);
  if (found == lost_.end()) return;
  const std::uint64_t missing = host_.SteadyMs() - found->second;
  lost_.erase(found);
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f", static_cast<double>(missing) / 1000.0);
  if (host_.Collecting()) host_.AddAction(host_.Text(UI::kInstrumentBackActionString, {NameOf(source), seconds}));
  host_.SourceChanged(source, false);
}

bool FaultWatch::WatchCamera(int index, const CameraReading& reading, bool restartNow) {
  if (index < 0) return false;
  if (cameras_.size() <= static_cast<std::size_t>(index)) cameras_.resize(static_cast<std::size_t>(index) + 1);
  CameraProgress& progress = cameras_[static_cast<std::size_t>(index)];
  const WatchedSource source{kCameraSource, index};
  const std::uint64_t now = host_.SteadyMs();
  if (reading.lost) {
    Lost(source);
    progress.since = now;
    if (!restartNow && now - progress.lastRestart < kCameraRetryMs) return false;
    progress.lastRestart = now;
    return true;
  }
  const bool measuring = reading.measuringZones > 0 && reading.capturing;
  const bool measured = reading.measurements != progress.measurements;
  // Delivering: zones measured, or, with nothing to measure, whole frames.
  const bool delivering = measuring ? measured : reading.frames != progress.frames;
  progress.frames = reading.frames;
  if (delivering) Back(source);
  if (measured || !measuring) {
    progress.measurements = reading.measurements;
    progress.torn = reading.torn;
    progress.since = now;
    return false;
  }
  // Nothing measured for a while: frames that came meanwhile came torn.
  if (now - progress.since >= kCameraSilenceMs)
    Lost(source, reading.torn != progress.torn ? CameraFault::kTornPictures : CameraFault::kNoPicture);
  return false;
}

void FaultWatch::CheckBackup(int error, const std::string& path) {
  if (error == 0) {
    // A new backup's streams start without a failure.
    backupTold_ = false;
    return;
  }
  if (backupTold_) return;
  backupTold_ = true;
  const std::string reason = std::strerror(error);
  const std::string folder = std::filesystem::path(path).parent_path().string();
  if (host_.Collecting()) host_.AddAction(host_.Text(UI::kBackupStoppedActionString, {reason}));
  host_.Tell(host_.Text(UI::kBackupStoppedString, {folder.empty() ? path : folder, reason}));
}

}  // namespace ORV
