#include "core/base/configuration.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <pugixml.hpp>

#include "core/base/app_registry.h"
#include "core/base/event_log.h"
#include "platform/os/folders.h"
#include "platform/os/number_text.h"
#include "platform/os/registry_store.h"
#include "platform/os/text.h"

namespace ORV {

namespace {

constexpr const char* kSettings = "Settings";
constexpr const char* kProductTypeValue = "ProductType";

std::string VersionSection(int settingsVersion) { return "Version\\" + std::to_string(settingsVersion); }

float TextToFloat(std::string_view text) { return static_cast<float>(OS::LeadingDouble(text)); }

}  // namespace

Configuration::Configuration() { DefaultZoneColors = {ZoneBorderColor, ZoneOuterEdgeColor, ZoneInnerEdgeColor}; }

std::vector<std::string> Configuration::ColorsXmlCandidates() const {
  if (!colorsXmlOverride.empty()) return colorsXmlOverride;
  std::vector<std::string> out;
  const std::string programDir = OS::ProgramDir();
  if (!programDir.empty()) out.push_back(programDir + "/colors.xml");
  out.push_back(OS::InstalledDataDir() + "/colors.xml");
  return out;
}

void Configuration::Load() { Load(OS::RegistryStore::User()); }
void Configuration::Save() { Save(OS::RegistryStore::User()); }

void Configuration::Load(OS::RegistryStore& store) {
  if (std::string damage = store.TakeDamageReport(); !damage.empty()) {
    LogWarning("Configuration::Load() - " + damage);
  }
  AppRegistry reg(store);
  reg.SetBase(kSettings);
  LastUsedFlowMeterPort = reg.GetString("LastUsedFlowMeterPort", "");
  LastUsedInterfacePort = reg.GetString("LastUsedInterfacePort", "");
  ProductType = reg.GetInt(kProductTypeValue, 0);
  PicoloChannel = reg.GetInt("PicoloChannel", 0);
  MinimumGBFree = reg.GetInt("MinimumGBFree", 7);
  BackupBufferDir = reg.GetString("BackupBufferDir", "");
  RunningBackupDirectory = reg.GetString("RunningBackupDirectory", "");
  AutoBackup = reg.GetInt("AutoBackup", 1) != 0;
  Debug = reg.GetInt("Debug", 0) != 0;
  SynchroniseDataCollection = reg.GetInt("SynchroniseDataCollection", 0) != 0;
  SampleFrequency = reg.GetInt("SampleFrequency", 3);
  DeviceMicroscopeTimeout = reg.GetInt("DeviceMicroscopeTimeout", 500);
  DeviceFlowMeterTimeout = reg.GetInt("DeviceFlowMeterTimeout", 500);
  DeviceHeaterTimeout = reg.GetInt("DeviceHeaterTimeout", 500);
  DevicePressureInterfaceTimeout = reg.GetInt("DevicePressureInterfaceTimeout", 100);
  DeviceNewPressureInterfaceTimeout = reg.GetInt("DeviceNewPressureInterfaceTimeout", 100);
  if (DeviceNewPressureInterfaceTimeout < 100) DeviceNewPressureInterfaceTimeout = 100;

  reg.SetBase(VersionSection(SettingsVersion));
  PanelFontSize = reg.GetInt("PanelFontSize", 70);
  HeaderFontSize = reg.GetInt("HeaderFontSize", 80);
  CameraCalibrated = reg.GetInt("CameraCalibrated", 0) != 0;
  AutoThreshold = reg.GetInt("AutoThreshold", 0) != 0;
  InvertImage = reg.GetInt("InvertImage", 0) != 0;
  // Save writes the action-sheet flag under this name, so Load restores that flag.
  ActionViewShown = reg.GetInt("ShowActionView", 0) != 0;
  LiveTrace = reg.GetInt("LiveTrace", 0) != 0;
  SelectAllTraces = reg.GetInt("SelectAllTraces", 0) != 0;
  IgnoreLumen = reg.GetInt("IgnoreLumen", 0) != 0;
  for (int i = 0; i < 4; ++i) {
    Calibration[static_cast<std::size_t>(i)] =
        TextToFloat(reg.GetString("Calibration_" + std::to_string(i + 1), "1.0"));
  }
  Magnification = TextToFloat(reg.GetString("Magnification", "10.0"));
  TraceTimeSpan = reg.GetInt("TraceTimeSpan", 20);
  LastUsedAnalysisExportType = reg.GetInt("LastUsedAnalysisExportType", 0);
  LastUsedSequenceFilePath = reg.GetString("LastUsedSequenceFilePath", "");
  LastOpenedSequenceFile = reg.GetString("LastOpenedSequenceFile", "");
  LastUsedExperimentPath = reg.GetString("LastUsedExperimentPath", "");
  MinimumPressure = reg.GetInt("MinimumPressure", 0);
  MaximumPressure = reg.GetInt("MaximumPressure", 250);
  MinimumTemperature = reg.GetInt("MinimumTemperature", 20);
  MaximumTemperature = reg.GetInt("MaximumTemperature", 45);

  std::uint32_t borderDefault = kBuiltInBorderColor;
  std::uint32_t outerDefault = kBuiltInOuterEdgeColor;
  std::uint32_t innerDefault = kBuiltInInnerEdgeColor;
  for (const std::string& path : ColorsXmlCandidates()) {
    if (!OS::PathExists(path)) continue;
    std::vector<ZoneColor> border, outer, inner;
    if (LoadZoneColors(path, border, outer, inner) >= 0) {
      // An empty list keeps the built-in colour of that list.
      if (!border.empty()) borderDefault = border.front().color;
      if (!outer.empty()) outerDefault = outer.front().color;
      if (!inner.empty()) innerDefault = inner.front().color;
    }
    break;
  }
  DefaultZoneColors = {borderDefault, outerDefault, innerDefault};
  ZoneBorderColor = static_cast<std::uint32_t>(reg.GetInt("ZoneBorderColor", static_cast<int>(borderDefault)));
  ZoneOuterEdgeColor = static_cast<std::uint32_t>(reg.GetInt("ZoneOuterEdgeColor", static_cast<int>(outerDefault)));
  ZoneInnerEdgeColor = static_cast<std::uint32_t>(reg.GetInt("ZoneInnerEdgeColor", static_cast<int>(innerDefault)));

  // Path lengths count characters (UTF-16 units), not bytes.
  MicroscopeDevicePath = reg.GetString("MicroscopeDevicePath", "");
  if (OS::Utf16Length(MicroscopeDevicePath) < 5) MicroscopeDevicePath = kDefaultMicroscopeDevicePath;
  MultiInterfaceDevicePath = reg.GetString("MultiInterfaceDevicePath", "");
  const std::size_t multiLength = OS::Utf16Length(MultiInterfaceDevicePath);
  if (multiLength < 5 || multiLength > 26) MultiInterfaceDevicePath = kDefaultMultiInterfaceDevicePath;
  HeatControllerDevicePath = reg.GetString("HeatControllerDevicePath", "");
  if (OS::Utf16Length(HeatControllerDevicePath) < 5) HeatControllerDevicePath.clear();
  SonoFlowScaleFactor = static_cast<float>(reg.GetInt("SonoFlowScaleFactor", 110)) / 100.0f;
  VideoRecordingEnabled = reg.GetInt("VideoRecordingEnabled", 0) != 0;
  VideoRecordLowFactor = static_cast<std::uint16_t>(reg.GetInt("VideoRecordLowFactor", 6));
  VideoRecordMediumFactor = static_cast<std::uint16_t>(reg.GetInt("VideoRecordMediumFactor", 4));
  VideoRecordHighFactor = static_cast<std::uint16_t>(reg.GetInt("VideoRecordHighFactor", 2));
  VideoRecordSameAsSourceFactor = static_cast<std::uint16_t>(reg.GetInt("VideoRecordSameAsSourceFactor", 1));
  VideoRecordFactor = static_cast<std::uint16_t>(reg.GetInt("VideoRecordFactor", VideoRecordMediumFactor));
  if (VideoRecordFactor != VideoRecordLowFactor && VideoRecordFactor != VideoRecordMediumFactor &&
      VideoRecordFactor != VideoRecordHighFactor && VideoRecordFactor != VideoRecordSameAsSourceFactor) {
    VideoRecordFactor = VideoRecordMediumFactor;
  }
  CustomUserWorkSpaceName = reg.GetString("CustomUserWorkSpaceName", "");
  FreshetCheckEnabled = reg.GetInt("FreshetCheckEnabled", 1) == 1;

  Magnifications.clear();
  int count = reg.GetInt("MagnificationCount", 0);
  if (count > kMaxMagnificationCount) count = kMaxMagnificationCount;
  for (int i = 0; i < count; ++i) {
    const double v = OS::LeadingDouble(reg.GetString("Magnification" + std::to_string(i), ""));
    if (v >= 1.0 && v <= 100.0) Magnifications.push_back(OS::FormatFixed(v, 1));
  }
  if (count < 1) Magnifications = {"10.0"};

  for (int i = 0; i < 12; ++i)
    HotKeys[static_cast<std::size_t>(i)] = reg.GetString("HOTKEY_F" + std::to_string(i + 1), "");
  ExperimentValues.fill(-1.0f);

  // The stored list replaces the one in memory (appending to it would double
  // the list on every further Load and Save).
  const std::string calibration = reg.GetString("CameraCalibrationAndMagnification", "");
  CalibrationLists.clear();
  if (!calibration.empty()) {
    ParseCalibrationList(calibration, CalibrationLists);
  } else {
    const std::string label = OS::FormatFixed(Magnification, 1);
    for (int i = 0; i < 4; ++i) {
      CalibrationMap map;
      map[label] = CalibrationEntry{Calibration[static_cast<std::size_t>(i)], Magnification, label};
      CalibrationLists.push_back(std::move(map));
    }
  }
}

void Configuration::Save(OS::RegistryStore& store) {
  OS::RegistryStore::Batch batch(store);
  AppRegistry reg(store);
  auto b = [](bool v) { return v ? 1 : 0; };
  reg.SetBase(kSettings);
  reg.WriteString("LastUsedFlowMeterPort", LastUsedFlowMeterPort);
  reg.WriteString("LastUsedInterfacePort", LastUsedInterfacePort);
  reg.WriteInt(kProductTypeValue, ProductType);
  reg.WriteInt("PicoloChannel", PicoloChannel);
  reg.WriteInt("Debug", b(Debug));
  reg.WriteInt("MinimumGBFree", MinimumGBFree);
  reg.WriteInt("DeviceMicroscopeTimeout", DeviceMicroscopeTimeout);
  reg.WriteInt("DeviceHeaterTimeout", DeviceHeaterTimeout);
  reg.WriteInt("DevicePressureInterfaceTimeout", DevicePressureInterfaceTimeout);
  reg.WriteInt("DeviceNewPressureInterfaceTimeout", DeviceNewPressureInterfaceTimeout);
  reg.WriteInt("DeviceFlowMeterTimeout", DeviceFlowMeterTimeout);
  reg.WriteString("BackupBufferDir", BackupBufferDir);
  reg.WriteString("RunningBackupDirectory", RunningBackupDirectory);
  reg.WriteInt("AutoBackup", b(AutoBackup));
  reg.WriteInt("SynchroniseDataCollection", b(SynchroniseDataCollection));
  reg.WriteInt("SampleFrequency", SampleFrequency);

  reg.SetBase(VersionSection(SettingsVersion));
  reg.WriteInt("PanelFontSize", PanelFontSize);
  reg.WriteInt("HeaderFontSize", HeaderFontSize);
  reg.WriteInt("CameraCalibrated", b(CameraCalibrated));
  reg.WriteInt("AutoThreshold", b(AutoThreshold));
  reg.WriteInt("InvertImage", b(InvertImage));
  reg.WriteInt("ShowActionView", b(ActionViewShown));
  reg.WriteInt("LiveTrace", b(LiveTrace));
  reg.WriteInt("SelectAllTraces", b(SelectAllTraces));
  reg.WriteInt("IgnoreLumen", b(IgnoreLumen));
  reg.WriteInt("TraceTimeSpan", TraceTimeSpan);
  reg.WriteInt("LastUsedAnalysisExportType", LastUsedAnalysisExportType);
  for (int i = 0; i < 4; ++i)
    reg.WriteString("Calibration_" + std::to_string(i + 1),
                    OS::FormatFixed(Calibration[static_cast<std::size_t>(i)], 6));
  reg.WriteInt("VideoRecordingEnabled", b(VideoRecordingEnabled));
  reg.WriteInt("VideoRecordFactor", VideoRecordFactor);
  reg.WriteInt("VideoRecordLowFactor", VideoRecordLowFactor);
  reg.WriteInt("VideoRecordMediumFactor", VideoRecordMediumFactor);
  reg.WriteInt("VideoRecordHighFactor", VideoRecordHighFactor);
  reg.WriteString("Magnification", OS::FormatFixed(Magnification, 1));
  reg.WriteString("LastUsedSequenceFilePath", LastUsedSequenceFilePath);
  reg.WriteString("LastOpenedSequenceFile", LastOpenedSequenceFile);
  reg.WriteString("LastUsedExperimentPath", LastUsedExperimentPath);
  reg.WriteInt("MinimumPressure", MinimumPressure);
  reg.WriteInt("MaximumPressure", MaximumPressure);
  reg.WriteInt("MinimumTemperature", MinimumTemperature);
  reg.WriteInt("MaximumTemperature", MaximumTemperature);
  reg.WriteInt("ZoneBorderColor", static_cast<int>(ZoneBorderColor));
  reg.WriteInt("ZoneOuterEdgeColor", static_cast<int>(ZoneOuterEdgeColor));
  reg.WriteInt("ZoneInnerEdgeColor", static_cast<int>(ZoneInnerEdgeColor));
  // Rounded, not truncated: 1.1f * 100 is 110.0000024 but 1.15f * 100 is
  // 114.99999, which truncation would lower by one on every save.
  reg.WriteInt("SonoFlowScaleFactor", static_cast<int>(std::lround(static_cast<double>(SonoFlowScaleFactor) * 100.0)));
  reg.WriteString("MicroscopeDevicePath", MicroscopeDevicePath);
  reg.WriteString("MultiInterfaceDevicePath", MultiInterfaceDevicePath);
  reg.WriteString("HeatControllerDevicePath", HeatControllerDevicePath);
  reg.WriteString("CustomUserWorkSpaceName", CustomUserWorkSpaceName);
  reg.WriteInt("FreshetCheckEnabled", b(FreshetCheckEnabled));
  reg.WriteInt("MagnificationCount", static_cast<int>(Magnifications.size()));
  for (std::size_t i = 0; i < Magnifications.size(); ++i)
    reg.WriteString("Magnification" + std::to_string(i), Magnifications[i]);
  for (int i = 0; i < 12; ++i)
    reg.WriteString("HOTKEY_F" + std::to_string(i + 1), HotKeys[static_cast<std::size_t>(i)]);
  if (!CalibrationLists.empty())
    reg.WriteString("CameraCalibrationAndMagnification", FormatCalibrationList(CalibrationLists));
}

std::string Configuration::GetSettingsString(std::string_view name) {
  AppRegistry reg(OS::RegistryStore::User());
  reg.SetBase(kSettings);
  return reg.GetString(name, "");
}

void Configuration::SetSettingsString(std::string_view name, std::string_view value) {
  AppRegistry reg(OS::RegistryStore::User());
  reg.SetBase(kSettings);
  reg.WriteString(name, value);
}

std::string Configuration::GetTempWorkingDirectory() {
  // A folder of someone else is never written into.
  if (OS::IsOwnedDirectory(BackupBufferDir)) return BackupBufferDir;
  // The backup base is private to the user and survives a reboot; an
  // existing one that is a symbolic link or someone else's is refused.
  const std::string folder = OS::ProductStateDir() + "/ORV-TX5";
  if (OS::EnsurePrivateDir(folder)) {
    BackupBufferDir = folder;
  } else {
    LogError("Configuration::GetTempWorkingDirectory() - cannot use the backup folder '" + folder + "'");
  }
  return BackupBufferDir;
}

int Configuration::LoadZoneColors(const std::string& path, std::vector<ZoneColor>& border,
                                  std::vector<ZoneColor>& outer, std::vector<ZoneColor>& inner) {
  pugi::xml_document doc;
  if (!doc.load_file(path.c_str())) return kColorsNotXml;
  const pugi::xml_node root = doc.document_element();
  if (!root) return kColorsNotXml;
  auto readList = [](const pugi::xml_node& list, std::vector<ZoneColor>& out) {
    for (const pugi::xml_node& e : list.children()) {
      if (e.type() != pugi::node_element) continue;
      const unsigned r = static_cast<unsigned>(e.attribute("R").as_int(0)) & 0xFF;
      const unsigned g = static_cast<unsigned>(e.attribute("G").as_int(0)) & 0xFF;
      const unsigned bl = static_cast<unsigned>(e.attribute("B").as_int(0)) & 0xFF;
      out.push_back(ZoneColor{MakeColor(r, g, bl), e.attribute("Description").as_string("")});
    }
  };
  const pugi::xml_node o = root.child("Outer");
  if (!o) return kColorsNoOuter;
  readList(o, outer);
  const pugi::xml_node i = root.child("Inner");
  if (!i) return kColorsNoInner;
  readList(i, inner);
  const pugi::xml_node b = root.child("Border");
  if (!b) return kColorsNoBorder;
  readList(b, border);
  return kColorsOk;
}

int Configuration::ParseCalibrationList(std::string_view text, std::vector<CalibrationMap>& maps) {
  std::size_t pos = 0;
  const std::size_t n = text.size();
  if (n == 0) return kCalibrationOk;
  auto readNumber = [&](double& out) {
    // A decimal number in the "C" form after optional white space, as atof
    // reads it; an unparsable one counts as 0.
    while (pos < n && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    std::size_t end = pos;
    while (end < n && (std::isdigit(static_cast<unsigned char>(text[end])) || text[end] == '.' || text[end] == '-' ||
                       text[end] == '+' || text[end] == 'e' || text[end] == 'E'))
      ++end;
    out = OS::LeadingDouble(text.substr(pos, end - pos));
    pos = end;
  };
  while (true) {
    if (pos >= n || text[pos] != '{') return kCalibrationNoOpenBrace;
    ++pos;
    maps.emplace_back();
    CalibrationMap& map = maps.back();
    while (true) {
      if (pos >= n || text[pos] != '[') return kCalibrationNoOpenBracket;
      ++pos;
      const std::size_t at = text.find('@', pos);
      if (at == std::string_view::npos) return kCalibrationNoAt;
      std::string label(text.substr(pos, at - pos));
      pos = at + 1;
      double magnification = 0;
      readNumber(magnification);
      if (pos >= n || text[pos] != ',') return kCalibrationNoComma;
      ++pos;
      double scale = 0;
      readNumber(scale);
      const std::size_t close = text.find(']', pos);
      pos = close == std::string_view::npos ? n : close + 1;
      map[label] = CalibrationEntry{static_cast<float>(scale), static_cast<float>(magnification), label};
      if (pos < n && text[pos] == ',') {
        ++pos;
        continue;
      }
      if (pos >= n || text[pos] != '}') return kCalibrationNoCloseBrace;
      ++pos;
      break;
    }
    if (pos >= n) return kCalibrationOk;
    if (text[pos] == ',') ++pos;
  }
}

std::string Configuration::FormatCalibrationList(const std::vector<CalibrationMap>& maps) {
  // Written whole, however long: a cut list would lose calibrations.
  std::string out;
  for (std::size_t m = 0; m < maps.size(); ++m) {
    if (m) out += ',';
    out += '{';
    bool first = true;
    for (const auto& [key, e] : maps[m]) {
      if (!first) out += ',';
      first = false;
      out += '[';
      out += e.label;
      out += '@';
      out += OS::FormatFixed(e.magnification, 1);
      out += ',';
      out += OS::FormatFixed(e.scale, 6);
      out += ']';
    }
    out += '}';
  }
  return out;
}

}  // namespace ORV
