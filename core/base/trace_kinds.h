#pragma once
// The built-in trace kinds: 21 fixed names whose positions are the kind
// numbers. 1-10 are vessel measurements (camera and zone), 11-20 instrument
// values, 220 and above custom traces. The names are stored keys: never
// translate them.
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace ORV {

enum TraceKind : int {
  kTraceNone = 0,
  kTraceLeftWallThickness = 1,
  kTraceRightWallThickness = 2,
  kTraceAverageWallThickness = 3,
  kTraceVesselDiameter = 4,
  kTraceLumenDiameter = 5,
  kTraceVesselArea = 6,
  kTraceLumenArea = 7,
  kTraceCrossSectionalArea = 8,
  kTraceMediaLumenRatio = 9,
  kTraceShearStress = 10,
  kTraceInlet = 11,
  kTraceOutlet = 12,
  kTraceMeanPressure = 13,
  kTraceFlow = 14,
  kTraceVascularResistance = 15,
  kTraceTemperature = 16,
  kTraceForce = 17,
  kTracePH = 18,
  kTracePulse = 19,
  kTracePuller = 20,
};

inline constexpr int kTraceKindCount = 21;
inline constexpr int kFirstCustomTraceId = 220;

extern const std::array<std::string_view, kTraceKindCount> TraceNameTable;

inline bool IsBuiltInTraceKind(int id) { return id >= 0 && id < kTraceKindCount; }
inline bool IsCustomTraceId(int id) { return id >= kFirstCustomTraceId; }
inline bool IsVesselTraceKind(int id) { return id >= 1 && id <= 10; }
inline bool IsInstrumentTraceKind(int id) { return id >= 11 && id <= 20; }

// The name of a built-in kind; nothing for any other identity.
std::optional<std::string_view> TraceKindName(int id);

// "Version\<settings version>\<name>": the registry key (below the product's
// root) of a built-in kind's display settings; nothing for other identities.
std::optional<std::string> TraceSettingsKey(int id, int settingsVersion = 5);

// Resolves the camera index an operation on a kind uses: kinds 1-10 need a
// camera and a zone of 0 or more (nothing otherwise); kinds 11-20 treat a
// negative camera as camera 0; other identities give nothing.
std::optional<int> TraceCameraFor(int id, int camera, int zone);

}  // namespace ORV
