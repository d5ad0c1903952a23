#include "core/base/configuration.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/base/app_registry.h"
#include "platform/os/folders.h"
#include "platform/os/number_text.h"
#include "platform/os/registry_store.h"
#include "tests/support/test_support.h"

namespace ORV {
namespace {

using OS::RegValue;

constexpr const char* kSettings = "Settings";
constexpr const char* kVersion = "Version\\5";

// Every value that Load sets, as text, one per line, so that a mismatch
// names the field.
std::string Describe(const Configuration& c) {
  std::string out;
  auto line = [&out](const char* name, const std::string& value) { out += std::string(name) + "=" + value + "\n"; };
  auto num = [](double v) { return OS::FormatFixed(v, 6); };
  auto flag = [](bool b) { return std::string(b ? "true" : "false"); };
  line("LastUsedFlowMeterPort", c.LastUsedFlowMeterPort);
  line("LastUsedInterfacePort", c.LastUsedInterfacePort);
  line("ProductType", num(c.ProductType));
  line("PicoloChannel", num(c.PicoloChannel));
  line("MinimumGBFree", num(c.MinimumGBFree));
  line("BackupBufferDir", c.BackupBufferDir);
  line("RunningBackupDirectory", c.RunningBackupDirectory);
  line("AutoBackup", flag(c.AutoBackup));
  line("Debug", flag(c.Debug));
  line("SynchroniseDataCollection", flag(c.SynchroniseDataCollection));
  line("DeviceMicroscopeTimeout", num(c.DeviceMicroscopeTimeout));
  line("DeviceFlowMeterTimeout", num(c.DeviceFlowMeterTimeout));
  line("DeviceHeaterTimeout", num(c.DeviceHeaterTimeout));
  line("DevicePressureInterfaceTimeout", num(c.DevicePressureInterfaceTimeout));
  line("DeviceNewPressureInterfaceTimeout", num(c.DeviceNewPressureInterfaceTimeout));
  line("PanelFontSize", num(c.PanelFontSize));
  line("HeaderFontSize", num(c.HeaderFontSize));
  line("CameraCalibrated", flag(c.CameraCalibrated));
  line("AutoThreshold", flag(c.AutoThreshold));
  line("InvertImage", flag(c.InvertImage));
  line("ActionViewShown", flag(c.ActionViewShown));
  line("LiveTrace", flag(c.LiveTrace));
  line("SelectAllTraces", flag(c.SelectAllTraces));
  line("IgnoreLumen", flag(c.IgnoreLumen));
  for (float v : c.Calibration) line("Calibration", num(v));
  line("Magnification", num(c.Magnification));
  line("TraceTimeSpan", num(c.TraceTimeSpan));
  line("LastUsedAnalysisExportType", num(c.LastUsedAnalysisExportType));
  line("LastUsedSequenceFilePath", c.LastUsedSequenceFilePath);
  line("LastOpenedSequenceFile", c.LastOpenedSequenceFile);
  line("LastUsedExperimentPath", c.LastUsedExperimentPath);
  line("MinimumPressure", num(c.MinimumPressure));
  line("MaximumPressure", num(c.MaximumPressure));
  line("MinimumTemperature", num(c.MinimumTemperature));
  line("MaximumTemperature", num(c.MaximumTemperature));
  line("ZoneBorderColor", num(c.ZoneBorderColor));
  line("ZoneOuterEdgeColor", num(c.ZoneOuterEdgeColor));
  line("ZoneInnerEdgeColor", num(c.ZoneInnerEdgeColor));
  for (auto v : c.DefaultZoneColors) line("DefaultZoneColors", num(v));
  line("MicroscopeDevicePath", c.MicroscopeDevicePath);
  line("MultiInterfaceDevicePath", c.MultiInterfaceDevicePath);
  line("HeatControllerDevicePath", c.HeatControllerDevicePath);
  line("SonoFlowScaleFactor", num(c.SonoFlowScaleFactor));
  line("VideoRecordingEnabled", flag(c.VideoRecordingEnabled));
  line("VideoRecordLowFactor", num(c.VideoRecordLowFactor));
  line("VideoRecordMediumFactor", num(c.VideoRecordMediumFactor));
  line("VideoRecordHighFactor", num(c.VideoRecordHighFactor));
  line("VideoRecordSameAsSourceFactor", num(c.VideoRecordSameAsSourceFactor));
  line("VideoRecordFactor", num(c.VideoRecordFactor));
  line("CustomUserWorkSpaceName", c.CustomUserWorkSpaceName);
  line("FreshetCheckEnabled", flag(c.FreshetCheckEnabled));
  for (const auto& m : c.Magnifications) line("Magnifications", m);
  for (const auto& k : c.HotKeys) line("HotKeys", k);
  for (float v : c.ExperimentValues) line("ExperimentValues", num(v));
  line("CalibrationLists", Configuration::FormatCalibrationList(c.CalibrationLists));
  return out;
}

// Gives every field Load must set a value that no default has.
void Scribble(Configuration& c) {
  c.LastUsedFlowMeterPort = c.LastUsedInterfacePort = c.BackupBufferDir = c.RunningBackupDirectory = "junk";
  c.LastUsedSequenceFilePath = c.LastOpenedSequenceFile = c.LastUsedExperimentPath = "junk";
  c.HeatControllerDevicePath = c.MultiInterfaceDevicePath = c.MicroscopeDevicePath = c.CustomUserWorkSpaceName = "junk";
  c.ProductType = c.PicoloChannel = c.MinimumGBFree = c.PanelFontSize = c.HeaderFontSize = -9;
  c.DeviceMicroscopeTimeout = c.DeviceFlowMeterTimeout = c.DeviceHeaterTimeout = -9;
  c.DevicePressureInterfaceTimeout = c.DeviceNewPressureInterfaceTimeout = -9;
  c.TraceTimeSpan = c.LastUsedAnalysisExportType = -9;
  c.MinimumPressure = c.MaximumPressure = c.MinimumTemperature = c.MaximumTemperature = -9;
  c.AutoBackup = c.FreshetCheckEnabled = false;
  c.Debug = c.SynchroniseDataCollection = c.CameraCalibrated = c.AutoThreshold = c.InvertImage = true;
  c.ActionViewShown = c.LiveTrace = c.SelectAllTraces = c.IgnoreLumen = c.VideoRecordingEnabled = true;
  c.Calibration.fill(9.0f);
  c.Magnification = 9.0f;
  c.SonoFlowScaleFactor = 9.0f;
  c.ZoneBorderColor = c.ZoneOuterEdgeColor = c.ZoneInnerEdgeColor = 9;
  c.DefaultZoneColors.fill(9);
  c.VideoRecordFactor = c.VideoRecordLowFactor = c.VideoRecordMediumFactor = c.VideoRecordHighFactor = 9;
  c.VideoRecordSameAsSourceFactor = 9;
  c.Magnifications = {"9.0", "9.0"};
  c.HotKeys.fill("junk");
  c.ExperimentValues.fill(9.0f);
  c.CalibrationLists.assign(7, CalibrationMap{{"9.0", CalibrationEntry{9.0f, 9.0f, "9.0"}}});
}

// The defaults of the Load table, written out one by one.
void SetTableDefaults(Configuration& c) {
  c.ProductType = 0;
  c.MinimumGBFree = 7;
  c.AutoBackup = true;
  c.DeviceMicroscopeTimeout = c.DeviceFlowMeterTimeout = c.DeviceHeaterTimeout = 500;
  c.DevicePressureInterfaceTimeout = c.DeviceNewPressureInterfaceTimeout = 100;
  c.PanelFontSize = 70;
  c.HeaderFontSize = 80;
  c.LiveTrace = false;
  c.Calibration.fill(1.0f);
  c.Magnification = 10.0f;
  c.TraceTimeSpan = 20;
  c.MinimumPressure = 0;
  c.MaximumPressure = 250;
  c.MinimumTemperature = 20;
  c.MaximumTemperature = 45;
  c.ZoneBorderColor = 0x8B0000;
  c.ZoneOuterEdgeColor = 255;
  c.ZoneInnerEdgeColor = 0x2FFFAD;
  c.DefaultZoneColors = {0x8B0000, 255, 0x2FFFAD};
  c.MicroscopeDevicePath = "\\\\?\\USB#VID_0403&PID_6001#00000000#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
  c.MultiInterfaceDevicePath = "\\\\?\\hid#vid_0483&pid_0110#";
  c.HeatControllerDevicePath = "";
  c.SonoFlowScaleFactor = 1.10f;
  c.VideoRecordLowFactor = 6;
  c.VideoRecordMediumFactor = 4;
  c.VideoRecordHighFactor = 2;
  c.VideoRecordSameAsSourceFactor = 1;
  c.VideoRecordFactor = 4;
  c.FreshetCheckEnabled = true;
  c.Magnifications = {"10.0"};
  c.ExperimentValues.fill(-1.0f);
  c.CalibrationLists.assign(4, CalibrationMap{{"10.0", CalibrationEntry{1.0f, 10.0f, "10.0"}}});
}

std::string TableDefaults() {
  Configuration c;
  SetTableDefaults(c);
  return Describe(c);
}

class ConfigurationTest : public ::testing::Test {
 protected:
  // Makes a configuration find no colors.xml, so only the store decides.
  void NoColors(Configuration& c) { c.colorsXmlOverride = {dir_ / "no-colors.xml"}; }
  void Put(const char* section, const std::string& name, const RegValue& v) {
    AppRegistry reg(store_);
    reg.SetBase(section);
    ASSERT_TRUE(store_.SetValue(reg.KeyPath(), name, v));
  }
  static std::optional<RegValue> Stored(OS::RegistryStore& store, const char* section, const std::string& name) {
    AppRegistry reg(store);
    reg.SetBase(section);
    return store.GetValue(reg.KeyPath(), name);
  }

  ORV::Test::TempDir dir_;
  OS::RegistryStore store_;
};

TEST_F(ConfigurationTest, EmptyStoreGivesExactlyTheLoadTableDefaults) {
  Configuration c;
  NoColors(c);
  Scribble(c);
  c.Load(store_);
  EXPECT_EQ(Describe(c), TableDefaults());
  ASSERT_EQ(c.CalibrationLists.size(), 4u);
  for (const auto& map : c.CalibrationLists) {
    ASSERT_EQ(map.size(), 1u);
    EXPECT_EQ(map.begin()->second.label, "10.0");
    EXPECT_EQ(map.begin()->second.scale, 1.0f);
  }
  // Loading reads only; nothing is written to the store.
  EXPECT_TRUE(store_.SubKeyNames("").empty());
}

std::string Text(int v) { return std::to_string(v); }
std::string Text(float v) { return OS::FormatFixed(v, 4); }
std::string Text(bool v) { return v ? "true" : "false"; }
std::string Text(const std::string& v) { return v; }
std::string Text(const std::vector<std::string>& v) {
  std::string out;
  for (const auto& s : v) out += (out.empty() ? "" : "|") + s;
  return out;
}

TEST_F(ConfigurationTest, LoadClampsAndConvertsAndSaveWritesTheResultBack) {
  struct Value {
    const char* section;
    std::string name;
    RegValue value;
  };
  struct Case {
    const char* what;
    std::vector<Value> stored;
    std::function<std::string(const Configuration&)> field;
    std::string loaded;
    std::vector<Value> saved = {};  // what Save writes afterwards (checked when given)
  };
  auto dword = [](std::uint32_t v) { return RegValue::MakeDword(v); };
  auto text = [](std::string s) { return RegValue::MakeString(std::move(s)); };
  const std::string path26(26, 'p');
  const std::string path27(27, 'p');
  std::string wide26;  // 26 characters in 52 bytes
  for (int i = 0; i < 26; ++i) wide26 += "\xC3\xA9";

  const auto newTimeout = [](const Configuration& c) { return Text(c.DeviceNewPressureInterfaceTimeout); };
  const auto factor = [](const Configuration& c) { return Text(int{c.VideoRecordFactor}); };
  const auto mags = [](const Configuration& c) { return Text(c.Magnifications); };
  const auto multi = [](const Configuration& c) { return Text(c.MultiInterfaceDevicePath); };
  const auto sono = [](const Configuration& c) { return Text(c.SonoFlowScaleFactor); };
  const auto freshet = [](const Configuration& c) { return Text(c.FreshetCheckEnabled); };
  const std::string defaultMulti = "\\\\?\\hid#vid_0483&pid_0110#";

  const Case cases[] = {
      // Time-outs: only the new pressure interface has a floor.
      {"new pressure time-out 20",
       {{kSettings, "DeviceNewPressureInterfaceTimeout", dword(20)}},
       newTimeout,
       "100",
       {{kSettings, "DeviceNewPressureInterfaceTimeout", dword(100)}}},
      {"new pressure time-out 150", {{kSettings, "DeviceNewPressureInterfaceTimeout", dword(150)}}, newTimeout, "150"},
      {"pressure time-out 20",
       {{kSettings, "DevicePressureInterfaceTimeout", dword(20)}},
       [](const Configuration& c) { return Text(c.DevicePressureInterfaceTimeout); },
       "20",
       {{kSettings, "DevicePressureInterfaceTimeout", dword(20)}}},
      // The chosen video factor must be one of the four just read.
      {"video factor 3",
       {{kVersion, "VideoRecordFactor", dword(3)}},
       factor,
       "4",
       {{kVersion, "VideoRecordFactor", dword(4)}}},
      {"video factor 1 (same as source)", {{kVersion, "VideoRecordFactor", dword(1)}}, factor, "1"},
      {"video factor 6 (low)", {{kVersion, "VideoRecordFactor", dword(6)}}, factor, "6"},
      {"video factor matching a stored high factor",
       {{kVersion, "VideoRecordHighFactor", dword(5)}, {kVersion, "VideoRecordFactor", dword(5)}},
       factor,
       "5"},
      {"video factor missing: the stored medium factor",
       {{kVersion, "VideoRecordMediumFactor", dword(3)}},
       factor,
       "3"},
      {"video factor 3 with medium 8",
       {{kVersion, "VideoRecordMediumFactor", dword(8)}, {kVersion, "VideoRecordFactor", dword(3)}},
       factor,
       "8"},
      // Magnification list: 1.0 to 100.0 kept, one decimal.
      {"magnifications 0.5, 40, 150",
       {{kVersion, "MagnificationCount", dword(3)},
        {kVersion, "Magnification0", text("0.5")},
        {kVersion, "Magnification1", text("40")},
        {kVersion, "Magnification2", text("150")}},
       mags,
       "40.0",
       {{kVersion, "MagnificationCount", dword(1)}, {kVersion, "Magnification0", text("40.0")}}},
      {"magnification bounds",
       {{kVersion, "MagnificationCount", dword(5)},
        {kVersion, "Magnification0", text("1")},
        {kVersion, "Magnification1", text("100")},
        {kVersion, "Magnification2", text("100.05")},
        {kVersion, "Magnification3", text("0.99")},
        {kVersion, "Magnification4", text("12,5")}},
       mags,
       "1.0|100.0|12.0"},
      {"magnification count 0", {{kVersion, "MagnificationCount", dword(0)}}, mags, "10.0"},
      {"magnification count negative", {{kVersion, "MagnificationCount", dword(0xFFFFFFFFu)}}, mags, "10.0"},
      {"magnification count with nothing kept",
       {{kVersion, "MagnificationCount", dword(2)}},
       mags,
       "",
       {{kVersion, "MagnificationCount", dword(0)}}},
      {"magnification count far beyond the values is bounded",
       {{kVersion, "MagnificationCount", dword(0x7FFFFFFFu)}, {kVersion, "Magnification0", text("20")}},
       mags,
       "20.0",
       {{kVersion, "MagnificationCount", dword(1)}}},
      // Device paths: lengths in characters.
      {"multi interface path of 30",
       {{kVersion, "MultiInterfaceDevicePath", text(std::string(30, 'p'))}},
       multi,
       defaultMulti},
      {"multi interface path of 27", {{kVersion, "MultiInterfaceDevicePath", text(path27)}}, multi, defaultMulti},
      {"multi interface path of 26",
       {{kVersion, "MultiInterfaceDevicePath", text(path26)}},
       multi,
       path26,
       {{kVersion, "MultiInterfaceDevicePath", text(path26)}}},
      {"multi interface path of 26 non-ASCII characters",
       {{kVersion, "MultiInterfaceDevicePath", text(wide26)}},
       multi,
       wide26},
      {"multi interface path of 5", {{kVersion, "MultiInterfaceDevicePath", text("/dev/")}}, multi, "/dev/"},
      {"multi interface path of 4", {{kVersion, "MultiInterfaceDevicePath", text("/dev")}}, multi, defaultMulti},
      {"microscope path of 4",
       {{kVersion, "MicroscopeDevicePath", text("COM1")}},
       [](const Configuration& c) { return Text(c.MicroscopeDevicePath); },
       "\\\\?\\USB#VID_0403&PID_6001#00000000#{a5dcbf10-6530-11d2-901f-00c04fb951ed}"},
      {"heat controller path of 4",
       {{kVersion, "HeatControllerDevicePath", text("hid0")}},
       [](const Configuration& c) { return Text(c.HeatControllerDevicePath); },
       ""},
      {"heat controller path of 12",
       {{kVersion, "HeatControllerDevicePath", text("/dev/hidraw3")}},
       [](const Configuration& c) { return Text(c.HeatControllerDevicePath); },
       "/dev/hidraw3"},
      // The update check is on only for exactly 1.
      {"update check 2",
       {{kVersion, "FreshetCheckEnabled", dword(2)}},
       freshet,
       "false",
       {{kVersion, "FreshetCheckEnabled", dword(0)}}},
      {"update check 1", {{kVersion, "FreshetCheckEnabled", dword(1)}}, freshet, "true"},
      {"update check 0", {{kVersion, "FreshetCheckEnabled", dword(0)}}, freshet, "false"},
      // Flow scale in hundredths, saved rounded to the nearest hundredth.
      {"flow scale 125",
       {{kVersion, "SonoFlowScaleFactor", dword(125)}},
       sono,
       "1.2500",
       {{kVersion, "SonoFlowScaleFactor", dword(125)}}},
      {"flow scale 113",
       {{kVersion, "SonoFlowScaleFactor", dword(113)}},
       sono,
       "1.1300",
       {{kVersion, "SonoFlowScaleFactor", dword(113)}}},
      {"flow scale 115",
       {{kVersion, "SonoFlowScaleFactor", dword(115)}},
       sono,
       "1.1500",
       {{kVersion, "SonoFlowScaleFactor", dword(115)}}},
      // Other conversions.
      {"booleans are non-zero",
       {{kSettings, "Debug", dword(5)}, {kSettings, "AutoBackup", dword(0)}},
       [](const Configuration& c) { return Text(c.Debug) + "," + Text(c.AutoBackup); },
       "true,false",
       {{kSettings, "Debug", dword(1)}, {kSettings, "AutoBackup", dword(0)}}},
      {"show-action-view restores the action-sheet flag",
       {{kVersion, "ShowActionView", dword(1)}},
       [](const Configuration& c) { return Text(c.ActionViewShown); },
       "true",
       {{kVersion, "ShowActionView", dword(1)}}},
      {"calibration texts",
       {{kVersion, "Calibration_1", text("0.48")},
        {kVersion, "Calibration_2", text("abc")},
        {kVersion, "Calibration_3", text("1,5")}},
       [](const Configuration& c) {
         return Text(c.Calibration[0]) + " " + Text(c.Calibration[1]) + " " + Text(c.Calibration[2]);
       },
       "0.4800 0.0000 1.0000",
       {{kVersion, "Calibration_1", text("0.480000")}, {kVersion, "Calibration_3", text("1.000000")}}},
      {"magnification gives the default calibration label",
       {{kVersion, "Magnification", text("40")}},
       [](const Configuration& c) { return Configuration::FormatCalibrationList(c.CalibrationLists); },
       "{[40.0@40.0,1.000000]},{[40.0@40.0,1.000000]},{[40.0@40.0,1.000000]},{[40.0@40.0,1.000000]}",
       {{kVersion, "Magnification", text("40.0")}}},
      {"a value of another type counts as missing",
       {{kVersion, "TraceTimeSpan", text("30")}},
       [](const Configuration& c) { return Text(c.TraceTimeSpan); },
       "20",
       {{kVersion, "TraceTimeSpan", dword(20)}}},
      {"stored zone colour",
       {{kVersion, "ZoneBorderColor", dword(0x123456)}},
       [](const Configuration& c) {
         return Text(static_cast<int>(c.ZoneBorderColor)) + " " + Text(static_cast<int>(c.DefaultZoneColors[0]));
       },
       Text(0x123456) + " " + Text(0x8B0000)},
  };

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OS::RegistryStore in;
    for (const auto& s : c.stored) {
      AppRegistry reg(in);
      reg.SetBase(s.section);
      in.SetValue(reg.KeyPath(), s.name, s.value);
    }
    Configuration config;
    NoColors(config);
    config.Load(in);
    EXPECT_EQ(c.field(config), c.loaded);

    OS::RegistryStore out;
    config.Save(out);
    for (const auto& s : c.saved) {
      const auto v = Stored(out, s.section, s.name);
      ASSERT_TRUE(v) << s.name;
      EXPECT_EQ(*v, s.value) << s.name;
    }
  }
}

TEST_F(ConfigurationTest, FlowScaleDoesNotDriftOverSaveAndLoad) {
  for (std::uint32_t hundredths = 0; hundredths <= 1000; ++hundredths) {
    OS::RegistryStore store;
    AppRegistry reg(store);
    reg.SetBase(kVersion);
    reg.WriteInt("SonoFlowScaleFactor", static_cast<int>(hundredths));
    Configuration c;
    NoColors(c);
    c.Load(store);
    c.Save(store);
    ASSERT_EQ(reg.GetInt("SonoFlowScaleFactor", -1), static_cast<int>(hundredths));
  }
}

// Values that differ from every default, for the round trip.
void SetNonDefaults(Configuration& c) {
  c.LastUsedFlowMeterPort = "/dev/ttyUSB1";
  c.LastUsedInterfacePort = "/dev/ttyUSB0";
  c.ProductType = 2;
  c.PicoloChannel = 3;
  c.MinimumGBFree = 12;
  c.BackupBufferDir = "/home/lab/backup \xC3\xA9";
  c.RunningBackupDirectory = "/home/lab/backup/ORV-TX5/run";
  c.AutoBackup = false;
  c.Debug = c.SynchroniseDataCollection = c.CameraCalibrated = c.AutoThreshold = c.InvertImage = true;
  c.ActionViewShown = c.LiveTrace = c.SelectAllTraces = c.IgnoreLumen = c.VideoRecordingEnabled = true;
  c.DeviceMicroscopeTimeout = 700;
  c.DeviceFlowMeterTimeout = 800;
  c.DeviceHeaterTimeout = 900;
  c.DevicePressureInterfaceTimeout = 60;
  c.DeviceNewPressureInterfaceTimeout = 250;
  c.PanelFontSize = 90;
  c.HeaderFontSize = 100;
  c.Calibration = {0.5f, 0.25f, 1.125f, 2.0f};
  c.Magnification = 40.0f;
  c.TraceTimeSpan = 120;
  c.LastUsedAnalysisExportType = 2;
  c.LastUsedSequenceFilePath = "/home/lab/seq";
  c.LastOpenedSequenceFile = "/home/lab/seq/a.xml";
  c.LastUsedExperimentPath = "/home/lab/exp";
  c.MinimumPressure = 5;
  c.MaximumPressure = 200;
  c.MinimumTemperature = 25;
  c.MaximumTemperature = 40;
  c.ZoneBorderColor = 0x010203;
  c.ZoneOuterEdgeColor = 0x040506;
  c.ZoneInnerEdgeColor = 0x070809;
  c.MicroscopeDevicePath = "/dev/serial/by-id/usb-FTDI-if00";
  c.MultiInterfaceDevicePath = "/dev/hidraw7";
  c.HeatControllerDevicePath = "/dev/hidraw8";
  c.SonoFlowScaleFactor = 1.37f;
  c.VideoRecordLowFactor = 8;
  c.VideoRecordMediumFactor = 5;
  c.VideoRecordHighFactor = 3;
  c.VideoRecordFactor = 3;
  c.CustomUserWorkSpaceName = "Lab \xE2\x82\xAC";
  c.FreshetCheckEnabled = false;
  c.Magnifications = {"4.0", "10.0", "40.0"};
  for (int i = 0; i < 12; ++i) c.HotKeys[static_cast<std::size_t>(i)] = "Marker F" + std::to_string(i + 1);
  c.CalibrationLists = {
      {{"10x", {0.5f, 10.0f, "10x"}}, {"4x", {1.25f, 4.0f, "4x"}}},
      {{"10x", {0.48f, 10.0f, "10x"}}},
  };
}

TEST_F(ConfigurationTest, SaveAndLoadRoundTripThroughTheFileInAnyLocale) {
  for (bool comma : {false, true}) {
    SCOPED_TRACE(comma ? "comma locale" : "C locale");
    std::optional<ORV::Test::CommaLocale> locale;
    if (comma) locale.emplace();
    ORV::Test::TempDir dir;
    const std::string file = dir / "registry.dat";
    Configuration saved;
    NoColors(saved);
    SetNonDefaults(saved);
    {
      OS::RegistryStore store(file);
      saved.Save(store);
      AppRegistry reg(store);
      reg.SetBase(kVersion);
      EXPECT_EQ(reg.GetString("Calibration_3", ""), "1.125000");
      EXPECT_EQ(reg.GetString("CameraCalibrationAndMagnification", ""),
                "{[10x@10.0,0.500000],[4x@4.0,1.250000]},{[10x@10.0,0.480000]}");
      // Read by Load, never written.
      EXPECT_FALSE(store.GetValue(reg.KeyPath(), "VideoRecordSameAsSourceFactor"));
    }
    OS::RegistryStore reopened(file);
    Configuration loaded;
    NoColors(loaded);
    Scribble(loaded);
    loaded.Load(reopened);
    Configuration expected;
    NoColors(expected);
    SetNonDefaults(expected);
    expected.VideoRecordSameAsSourceFactor = 1;  // not stored: the default
    expected.ExperimentValues.fill(-1.0f);       // not stored: reset by Load
    expected.DefaultZoneColors = {0x8B0000, 255, 0x2FFFAD};
    EXPECT_EQ(Describe(loaded), Describe(expected));

    // A second save of what was loaded writes the same file.
    OS::RegistryStore again;
    loaded.Save(again);
    EXPECT_EQ(again.Serialize(), reopened.Serialize());
  }
}

TEST_F(ConfigurationTest, LoadReplacesTheCalibrationListsInMemory) {
  Configuration saved;
  NoColors(saved);
  SetNonDefaults(saved);
  saved.Save(store_);
  Configuration c;
  NoColors(c);
  c.Load(store_);
  c.Load(store_);
  ASSERT_EQ(c.CalibrationLists.size(), 2u);
  c.Save(store_);
  c.Load(store_);
  EXPECT_EQ(c.CalibrationLists.size(), 2u);
}

TEST_F(ConfigurationTest, DamagedSettingsFileGivesDefaultsAndAnEventLogEntry) {
  ORV::Test::MemoryEventLog log;
  const std::string file = dir_ / "registry.dat";
  ASSERT_TRUE(OS::AtomicWriteFile(file, std::string_view("ORVREG\x01\x00 but then garbage", 24)));
  OS::RegistryStore store(file);
  Configuration c;
  NoColors(c);
  Scribble(c);
  c.Load(store);
  EXPECT_EQ(Describe(c), TableDefaults());

  const auto entries = log.backend().Entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].type, OS::kEventWarning);
  ASSERT_EQ(entries[0].texts.size(), 1u);
  EXPECT_NE(entries[0].texts[0].find("Configuration::Load() - "), std::string::npos);
  EXPECT_NE(entries[0].texts[0].find(file + ".damaged-"), std::string::npos) << entries[0].texts[0];
  // Said once, not on every Load.
  c.Load(store);
  EXPECT_EQ(log.backend().Entries().size(), 1u);
}

TEST_F(ConfigurationTest, SettingsStringsLiveInTheSettingsSection) {
  OS::RegistryStore::SetUserStoreForTesting(&store_);
  Configuration c;
  NoColors(c);
  EXPECT_EQ(c.GetSettingsString("XIMEA-12345"), "");
  c.SetSettingsString("XIMEA-12345", "zone=2;gain=1.5");
  EXPECT_EQ(c.GetSettingsString("ximea-12345"), "zone=2;gain=1.5");
  const auto v = Stored(store_, kSettings, "XIMEA-12345");
  OS::RegistryStore::SetUserStoreForTesting(nullptr);
  ASSERT_TRUE(v);
  EXPECT_EQ(*v, RegValue::MakeString("zone=2;gain=1.5"));
}

TEST(ConfigurationWorkingDirectory, IsAPrivateFolderInTheStateFolder) {
  ORV::Test::SandboxedHome home;
  const std::string base = home.root() + "/home/.local/state/Orvanta/Tarvix 5/ORV-TX5";
  Configuration c;
  EXPECT_EQ(c.GetTempWorkingDirectory(), base);
  EXPECT_EQ(c.BackupBufferDir, base);
  EXPECT_EQ(ORV::Test::FileMode(base), 0700u);
  EXPECT_EQ(c.GetTempWorkingDirectory(), base);

  // A stored folder of the user is used as it is.
  const std::string chosen = home.root() + "/home/backups";
  ASSERT_TRUE(OS::EnsureDir(chosen, 0755));
  ASSERT_EQ(::chmod(chosen.c_str(), 0755), 0);
  c.BackupBufferDir = chosen;
  EXPECT_EQ(c.GetTempWorkingDirectory(), chosen);
  EXPECT_EQ(ORV::Test::FileMode(chosen), 0755u);

  // A stored folder that is gone falls back to the private one.
  c.BackupBufferDir = home.root() + "/home/gone";
  EXPECT_EQ(c.GetTempWorkingDirectory(), base);
}

TEST(ConfigurationWorkingDirectory, ExistingBaseIsTightenedAndALinkIsRefused) {
  {
    ORV::Test::SandboxedHome home;
    const std::string base = home.root() + "/home/.local/state/Orvanta/Tarvix 5/ORV-TX5";
    ASSERT_TRUE(OS::EnsureDir(base, 0755));
    ASSERT_EQ(::chmod(base.c_str(), 0755), 0);
    Configuration c;
    EXPECT_EQ(c.GetTempWorkingDirectory(), base);
    EXPECT_EQ(ORV::Test::FileMode(base), 0700u);
  }
  {
    ORV::Test::SandboxedHome home;
    ORV::Test::MemoryEventLog log;
    const std::string parent = home.root() + "/home/.local/state/Orvanta/Tarvix 5";
    const std::string elsewhere = home.root() + "/tmp/planted";
    ASSERT_TRUE(OS::EnsureDir(parent));
    ASSERT_TRUE(OS::EnsureDir(elsewhere, 0777));
    ASSERT_EQ(::symlink(elsewhere.c_str(), (parent + "/ORV-TX5").c_str()), 0);
    Configuration c;
    EXPECT_EQ(c.GetTempWorkingDirectory(), "");
    EXPECT_EQ(c.BackupBufferDir, "");
    EXPECT_NE(log.Dump().find("ORV-TX5"), std::string::npos) << log.Dump();
  }
}

}  // namespace
}  // namespace ORV
