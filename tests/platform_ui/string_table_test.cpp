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

TEST(StringTableTest, AMissingIdGivesAnEmptyTextAndAWarning) {
  ORV::Test::MemoryEventLog log;
  std::string text = "unchanged";
  EXPECT_FALSE(LoadString(4, text));
  EXPECT_EQ(LoadString(4), "");
  EXPECT_NE(log.Dump().find("LoadString() - no string with the id 4"), std::string::npos) << log.Dump();
}

}  // namespace
}  // namespace ORV::UI
