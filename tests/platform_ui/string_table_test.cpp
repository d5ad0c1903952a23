#include "platform/ui/string_table.h"

#include <gtest/gtest.h>

#include "platform/ui/resources.h"
#include "tests/support/test_support.h"

namespace ORV::UI {
namespace {

TEST(StringTableTest, ParsesEntriesEscapesAndComments) {
  StringTable table;
  std::string error;
  ASSERT_TRUE(
      table.Parse("# comment\n"
                  "\n"
                  "5 \"Entered value is out of range\"\n"
                  "  6\t\"Value must be between 20.0 and 50.0 \"  \r\n"
                  "7 \"a \\\"quote\\\", a \\\\ and\\na line\"\n"
                  "8 \"\"\n"
                  "57344 kAppTitleString\t \"Tarvix 5\"",
                  &error))
      << error;
  EXPECT_EQ(table.Size(), 5u);
  const std::pair<std::uint32_t, std::string> expected[] = {
      {5, "Entered value is out of range"},
      {6, "Value must be between 20.0 and 50.0 "},
      {7, "a \"quote\", a \\ and\na line"},
      {8, ""},
      {57344, "Tarvix 5"},
  };
  for (const auto& [id, text] : expected) {
    std::string found;
    ASSERT_TRUE(table.Find(id, found)) << id;
    EXPECT_EQ(found, text) << id;
  }
  std::string none;
  EXPECT_FALSE(table.Find(9, none));
}

TEST(StringTableTest, RejectsMalformedLinesWithTheirLineNumber) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"x \"text\"", "line 1: no id"},
      {"-5 \"text\"", "line 1: no id"},
      {"99999999999 \"text\"", "line 1: no id"},
      {"5\"text\"", "line 1: no blank after the id"},
      {"5 text", "line 1: no opening quote"},
      {"1 \"a\"\n5 \"text", "line 2: no closing quote"},
      {"5 \"text\\", "line 1: a backslash ends the line"},
      {"5 \"te\\xt\"", "line 1: unknown escape"},
      {"5 \"text\" more", "line 1: text after the closing quote"},
      {"5 \"a\"\n\n5 \"b\"", "line 3: duplicate id"},
      {"5 kName\"text\"", "line 1: no blank after the name"},
      {"5 kName text", "line 1: no opening quote"},
      {"5 k-Name \"text\"", "line 1: no blank after the name"},
  };
  for (const auto& c : cases) {
    StringTable table;
    std::string error;
    EXPECT_FALSE(table.Parse(c.text, &error)) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
}

TEST(StringTableTest, TheProgramTableIsBuiltInAndWhole) {
  const auto data = FindResource("strings/tarvix5.txt");
  ASSERT_TRUE(data.has_value());
  StringTable table;
  std::string error;
  EXPECT_TRUE(table.Parse(*data, &error)) << error;
  EXPECT_EQ(table.Size(), ProgramStrings().Size());

  const std::pair<std::uint32_t, const char*> quoted[] = {
      {5, "Entered value is out of range"},
      {kTemperatureRangeString, "Value must be between 20.0 and 50.0 "},
      {27, "Inlet Pressure (P1) "},
      {kMicrometreUnitString, "\xC2\xB5m"},
      {kFlowMeterTitleString, "Flow Meter"},
      {kFlowMeterLabelString, "ORV Flow Meter"},
      {170, "Target temperature must be between 20 and 45 degrees"},
      {171, "Target temperature for chamber"},
      {kAppTitleString, "Tarvix 5"},
  };
  for (const auto& [id, text] : quoted) EXPECT_EQ(LoadString(id), text) << id;
  // The generated names stand for the ids of the table.
  static_assert(kTemperatureRangeString == 6 && kMicrometreUnitString == 44 && kFlowMeterTitleString == 116 &&
                kAppTitleString == 57344);
  EXPECT_EQ(ApplicationTitle(), QStringLiteral("Tarvix 5"));
  EXPECT_EQ(LoadQString(44), QString::fromUtf8("\xC2\xB5m"));
}

TEST(StringTableTest, HoldsEveryTextTheApplicationShellQuotes) {
  // Captions, ribbon and status-bar texts, questions and messages of the
  // main window and the application object.
  const std::pair<std::uint32_t, const char*> shell[] = {
      {1, "Image Analysis"},
      {2, "One instance of the application is already running "},
      {3, "Pressure Interface"},
      {13, "Camera"},
      {37, "Command"},
      {38, "Hotkey: "},
      {40, "Start Live Trace"},
      {41, "Stop Live Trace"},
      {53, "Mean Value"},
      {54, "Maximum Value"},
      {55, "Minimum Value"},
      {56, "Average Slope"},
      {92, "F1"},
      {93, "F2"},
      {94, "F3"},
      {95, "F4"},
      {96, "F5"},
      {97, "F6"},
      {98, "F7"},
      {99, "F8"},
      {100, "F9"},
      {101, "F10"},
      {102, "F11"},
      {103, "F12"},
      {110, "OLE initialization failed.  Make sure that the OLE libraries are the correct version."},
      {119, "Save experiment"},
      {123, "Tarvix 5"},
      {128, "Current sequence has been changed. Save ?"},
      {129, "Failed to save experiment to file"},
      {134, "Failed to open experiment file"},
      {135, "Current experiment has been changed. Save?"},
      {162, "Sequencer"},
      {165, "The entered time is invalid"},
      {166, "ORV Microscope"},
      {169, "ORV Heat Controller"},
      {172, "Off"},
      {174, "Tarvix for ORV Pressure Chamber Systems"},
      {186, "Tarvix for Advanced Incubation Chamber Systems"},
      {189, "Existing experiment data will be overwritten - Save before starting new capture?"},
      {195, "Current experiment has changed. Save before closing?"},
      {198, "Selected file is made from a different product type than installed on this version of Tarvix."},
      {199, "Unable to open selected file."},
      {200, "Bad file version."},
      {208, "An instance of an earlier version of Tarvix is already running"},
      {213, "Low"},
      {220, "Start"},
      {221, "Stop"},
      {222, "Start data collection"},
      {223, "Stop data collection"},
      {224, "Attached camera not capturing. Start camera?"},
      {227, "Data collection stopped"},
      {228, "Failed to restart Application. Please do a manual restart."},
      {232, "Video recording not enabled. Would you like to enable video recording before starting?"},
      {233, "Show Analysis Window"},
      {234, "Show Video Window"},
      {236, "Pause"},
      {237, "Pause"},
      {238, "Resume"},
      {240, "Count"},
      {241, "SD"},
      {242, "SE"},
      {243, "Slope"},
      {245, "Invalid time"},
      {246, "Go to time %s in video"},
      {248, "Pressure Interface Not Connected"},
      {249, "Do you want to stop data collection ?"},
      {254, "Selected experiment file is made from an older version of Tarvix."},
      {306, "Edit"},
      {308, "Please wait%s"},
      {309, "Sequencer not started"},
      {377, "Enabled"},
      {378, "Disabled"},
      {57344, "Tarvix 5"},
  };
  for (const auto& [id, text] : shell) EXPECT_EQ(LoadString(id), text) << id;
}

TEST(StringTableTest, AMissingIdGivesAnEmptyTextAndAWarning) {
  ORV::Test::MemoryEventLog log;
  std::string text = "unchanged";
  EXPECT_FALSE(LoadString(4, text));
  EXPECT_EQ(LoadString(4), "");
  EXPECT_NE(log.Dump().find("LoadString() - no string with the id 4"), std::string::npos) << log.Dump();
}

}  // namespace
}  // namespace ORV::UI
