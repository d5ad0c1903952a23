#include "core/base/trace_kinds.h"

namespace ORV {

const std::array<std::string_view, kTraceKindCount> TraceNameTable = {
    "None",
    "LeftWallThickness",
    "RightWallThickness",
    "AverageWallThickness",
    "VesselDiameter",
    "LumenDiameter",
    "VesselArea",
    "LumenArea",
    "CrossSectionalArea",
    "MediaLumenRatio",
    "ShearStress",
    "Inlet",
    "Outlet",
    "MeanPressure",
    "Flow",
    "VascularResistance",
    "Temperature",
    "Force",
    "PH",
    "Pulse",
    "Puller",
};

std::optional<std::string_view> TraceKindName(int id) {
  if (!IsBuiltInTraceKind(id)) return std::nullopt;
  return TraceNameTable[static_cast<std::size_t>(id)];
}

std::optional<std::string> TraceSettingsKey(int id, int settingsVersion) {
  auto name = TraceKindName(id);
  if (!name) return std::nullopt;
  return "Version\\" + std::to_string(settingsVersion) + "\\" + std::string(*name);
}

std::optional<int> TraceCameraFor(int id, int camera, int zone) {
  if (IsVesselTraceKind(id)) {
    if (camera < 0 || zone < 0) return std::nullopt;
    return camera;
  }
  if (IsInstrumentTraceKind(id)) return camera < 0 ? 0 : camera;
  return std::nullopt;
}

}  // namespace ORV
