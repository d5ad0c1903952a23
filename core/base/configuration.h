#pragma once
// The user's settings: product type, instrument ports and time-outs, folders,
// display switches, zone colours, camera calibrations and magnifications,
// sequencer limits, video-recording factors and function-key texts.
//
// Read from the settings store once at start-up (Load), read and changed in
// place during the run, written back by Save. Values live below
// HKEY_CURRENT_USER\Software\Orvanta\Tarvix 5 in "Settings" (machine-bound
// values) and "Version\5" (the rest).
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace ORV {

namespace OS {
class RegistryStore;
}

// One calibration of a camera at one magnification.
struct CalibrationEntry {
  float scale = 0.0f;  // size of one pixel
  float magnification = 0.0f;
  std::string label;  // equal to the map key
};
// Ordered by label, compared bytewise.
using CalibrationMap = std::map<std::string, CalibrationEntry>;

// One entry of a colors.xml list.
struct ZoneColor {
  std::uint32_t color = 0;  // 0x00BBGGRR
  std::string description;
};

// Colour values as the program stores them: red in the low byte.
inline constexpr std::uint32_t MakeColor(unsigned r, unsigned g, unsigned b) {
  return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}

// Places in Configuration::ExperimentValues: the scales of cameras 1 to 4
// come first, the magnification last.
inline constexpr std::size_t kCameraScale4 = 3;
inline constexpr std::size_t kExperimentMagnification = 4;

inline constexpr std::uint32_t kBuiltInBorderColor = 0x8B0000;
inline constexpr std::uint32_t kBuiltInOuterEdgeColor = 0x0000FF;
inline constexpr std::uint32_t kBuiltInInnerEdgeColor = 0x2FFFAD;
inline constexpr const char* kDefaultMultiInterfaceDevicePath = "\\\\?\\hid#vid_0483&pid_0110#";
inline constexpr const char* kDefaultMicroscopeDevicePath =
    "\\\\?\\USB#VID_0403&PID_6001#00000000#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

// Result codes of LoadZoneColors.
enum : int {
  kColorsOk = 0,
  kColorsNotXml = -1,
  kColorsNoOuter = -2,
  kColorsNoInner = -3,
  kColorsNoBorder = -4,
};

// Result codes of ParseCalibrationList.
enum : int {
  kCalibrationOk = 0,
  kCalibrationNoOpenBrace = -1,
  kCalibrationNoOpenBracket = -2,
  kCalibrationNoCloseBrace = -3,
  kCalibrationNoComma = -4,
  kCalibrationNoAt = -5,
};

// The program's owner keeps the one configuration of a run and hands it to
// what reads or changes it; tests make their own.
class Configuration {
 public:
  Configuration();
  Configuration(const Configuration&) = delete;
  Configuration& operator=(const Configuration&) = delete;

  // Reads every value from the store (the user's store when none is given)
  // and colors.xml.
  void Load();
  void Load(OS::RegistryStore& store);
  // Writes every value back.
  void Save();
  void Save(OS::RegistryStore& store);

  // One text value of the "Settings" section by name (missing: empty).
  std::string GetSettingsString(std::string_view name);
  void SetSettingsString(std::string_view name, std::string_view value);

  // The folder of the running backup and the record stores: BackupBufferDir
  // when it is an existing folder of the user, else "ORV-TX5" in the
  // product's state folder, made private (mode 0700) and remembered in
  // BackupBufferDir. When that cannot be made, BackupBufferDir is returned
  // unchanged and the event log says why.
  std::string GetTempWorkingDirectory();

  // colors.xml reader: fills the three lists (Outer, Inner, Border order in
  // the file, document order in each list); returns a kColors* code.
  static int LoadZoneColors(const std::string& path, std::vector<ZoneColor>& border, std::vector<ZoneColor>& outer,
                            std::vector<ZoneColor>& inner);
  // The calibration list's text form: appends one map per group; returns a
  // kCalibration* code, keeping the maps parsed before an error.
  static int ParseCalibrationList(std::string_view text, std::vector<CalibrationMap>& maps);
  static std::string FormatCalibrationList(const std::vector<CalibrationMap>& maps);

  // Where Load looks for colors.xml, in order: beside the program, then the
  // installed data folder. A test may set its own list.
  std::vector<std::string> ColorsXmlCandidates() const;
  std::vector<std::string> colorsXmlOverride;

  // Fields, in the order of the settings record.
  std::string FontName = "Verdana";
  std::int32_t PanelFontSize = 70;
  std::int32_t SettingsVersion = 5;
  std::int32_t HeaderFontSize = 80;
  std::int32_t ProductType = 0;  // 0 none, 1 pressure chamber, 2 incubation chamber
  float Magnification = 1.0f;
  std::array<float, 4> Calibration{1.0f, 1.0f, 1.0f, 1.0f};
  // The experiment's scales of cameras 1 to 4 (entries 0 to 3) and its
  // magnification (entry kExperimentMagnification); -1.0 is "not set".
  std::array<float, 5> ExperimentValues{-1.0f, -1.0f, -1.0f, -1.0f, -1.0f};
  std::vector<CalibrationMap> CalibrationLists;
  bool CameraCalibrated = false;
  bool AutoThreshold = false;
  bool InvertImage = false;
  bool DataViewShown = false;
  bool IgnoreLumen = false;
  bool SelectAllTraces = false;
  bool LiveTrace = true;
  bool ActionViewShown = false;
  bool Debug = false;
  std::int32_t TraceTimeSpan = 60;
  std::int32_t PicoloChannel = 0;
  std::int32_t DeviceMicroscopeTimeout = 50;
  std::int32_t DevicePressureInterfaceTimeout = 50;
  std::int32_t DeviceNewPressureInterfaceTimeout = 50;
  std::int32_t DeviceHeaterTimeout = 500;
  std::int32_t DeviceFlowMeterTimeout = 500;
  float SonoFlowScaleFactor = 1.1f;
  std::uint16_t VideoRecordFactor = 4;
  std::uint16_t VideoRecordLowFactor = 6;
  std::uint16_t VideoRecordMediumFactor = 4;
  std::uint16_t VideoRecordHighFactor = 2;
  std::uint16_t VideoRecordSameAsSourceFactor = 1;
  bool VideoRecordingEnabled = false;
  std::int32_t LastUsedAnalysisExportType = 0;
  std::array<std::string, 12> HotKeys;
  std::string LastOpenedSequenceFile;
  std::string LastUsedSequenceFilePath;
  std::string LastUsedFlowMeterPort;
  std::string LastUsedInterfacePort;
  std::string LastUsedExperimentPath;
  std::string HeatControllerDevicePath;
  std::string MultiInterfaceDevicePath = kDefaultMultiInterfaceDevicePath;
  std::string MicroscopeDevicePath = kDefaultMicroscopeDevicePath;
  std::string BackupBufferDir;
  std::string CustomUserWorkSpaceName;
  std::vector<std::string> Magnifications;
  std::string RunningBackupDirectory;
  bool AutoBackup = true;
  bool SynchroniseDataCollection = false;
  // The sample frequency of the synchronised sampling, an index 1-5 into its
  // table (the main frame puts 3 in place of anything else).
  std::int32_t SampleFrequency = 3;
  bool FreshetCheckEnabled = true;
  std::int32_t MinimumTemperature = 20;
  std::int32_t MaximumTemperature = 45;
  std::int32_t MinimumPressure = 0;
  std::int32_t MaximumPressure = 250;
  std::int32_t MinimumGBFree = 7;
  std::uint32_t ZoneBorderColor = kBuiltInBorderColor;
  std::uint32_t ZoneOuterEdgeColor = kBuiltInOuterEdgeColor;
  std::uint32_t ZoneInnerEdgeColor = kBuiltInInnerEdgeColor;
  std::array<std::uint32_t, 3> DefaultZoneColors{kBuiltInBorderColor, kBuiltInOuterEdgeColor, kBuiltInInnerEdgeColor};

  // Upper bound of "MagnificationCount" that Load follows.
  static constexpr int kMaxMagnificationCount = 1000;
};

}  // namespace ORV
