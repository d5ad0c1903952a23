// The advanced CSV export: the samples collected per chosen trace and the
// file's text, under a locale with a decimal comma too.
#include "views/advanced_export.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/views/view_fixture.h"
#include "views/trace_settings.h"

namespace ORV::Views::Test {
namespace {

using AdvancedExportTest = ViewFixture;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST_F(AdvancedExportTest, EntriesSideBySideUpToTheLongest) {
  data().startTick = 1000;
  Record();
  for (std::uint32_t i = 0; i < 5; ++i) AddPressure(1500 + 1000 * i, 2.25f + static_cast<float>(i));
  for (std::uint32_t i = 0; i < 3; ++i) AddZones(1100 + 1000 * i, 1);
  std::vector<AdvancedExportEntry> entries = {
      {0, 0, 4, "Camera 1:Zone 1:Outer Diameter", {}},
      {-1, -1, 11, "Inlet Pressure (P1) ", {}},
      {-1, -1, 11, "Inlet Pressure (P1) ", {}},
      {-1, -1, 219, "Nothing", {}},
  };
  std::vector<std::size_t> steps;
  EXPECT_EQ(CollectAdvancedExport(data(), entries, [&](std::size_t done, std::size_t) { steps.push_back(done); }), 5u);
  EXPECT_EQ(steps, (std::vector<std::size_t>{1, 2, 3, 4}));
  const std::string text = FormatAdvancedExport(entries, data().startTick);
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0],
            "Camera 1:Zone 1:Outer Diameter (Time);Camera 1:Zone 1:Outer Diameter (Value);"
            "Inlet Pressure (P1)  (Time);Inlet Pressure (P1)  (Value);"
            "Inlet Pressure (P1)  (Time);Inlet Pressure (P1)  (Value);Nothing (Time);Nothing (Value);");
  EXPECT_EQ(lines[1], "0.100;0.250;0.500;2.250;0.500;2.250;;;");
  EXPECT_EQ(lines[4], ";;3.500;5.250;3.500;5.250;;;");
  EXPECT_EQ(text.back(), '\n');
}

TEST_F(AdvancedExportTest, TheFileIsWrittenWithAPointUnderAnyLocale) {
  ORV::Test::CommaLocale comma;
  ASSERT_TRUE(comma.active());
  data().startTick = 0;
  Record();
  AddPressure(1500, 2.25f);
  std::vector<AdvancedExportEntry> entries = {{-1, -1, 11, "P1", {}}};
  std::string error;
  ASSERT_TRUE(RunAdvancedExport(data(), entries, dir_ / "out.csv", error));
  EXPECT_EQ(ReadFile(dir_ / "out.csv"), "P1 (Time);P1 (Value);\n1.500;2.250;\n");
  EXPECT_FALSE(RunAdvancedExport(data(), entries, dir_ / "missing/out.csv", error));
  EXPECT_NE(error.find("could not be written"), std::string::npos);
}

}  // namespace
}  // namespace ORV::Views::Test

namespace ORV::Views::Test {
namespace {

TEST_F(AdvancedExportTest, ChoosingTraces) {
  data().AddCamera("cam1");
  Record();
  AddZones(100, 2);
  AdvancedExportChooser chooser(data(), kInterfaceWithoutOutletFlowForce, ProgramText);
  std::vector<std::int32_t> kinds;
  for (const auto& r : chooser.Rows()) kinds.push_back(r.kind);
  EXPECT_EQ(kinds.size(), 16u);  // 1-19 without 12, 14 and 17
  EXPECT_EQ(std::count(kinds.begin(), kinds.end(), 17), 0);
  EXPECT_EQ(chooser.Cameras(), (std::vector<std::string>{"cam0", "cam1"}));
  EXPECT_EQ(chooser.Zones(0), (std::vector<std::string>{"Zone 1", "Zone 2"}));
  EXPECT_TRUE(chooser.ZoneBoxEnabled(0));
  EXPECT_FALSE(chooser.ZoneBoxEnabled(1));

  ASSERT_TRUE(chooser.Add(3, 0, 1));   // Outer Diameter
  EXPECT_FALSE(chooser.Add(3, 1, 0));  // camera 2 has no zone
  ASSERT_TRUE(chooser.Add(10, -1, -1));
  ASSERT_TRUE(chooser.Add(10, -1, -1));
  ASSERT_EQ(chooser.Entries().size(), 3u);
  EXPECT_EQ(chooser.Entries()[0].label, "cam0:Zone 2:Outer Diameter");
  EXPECT_EQ(chooser.Entries()[0].zone, 1);
  EXPECT_EQ(chooser.Entries()[1].label, "Inlet Pressure (P1) ");
  EXPECT_EQ(chooser.Entries()[1].camera, -1);
  chooser.Remove(0);
  EXPECT_EQ(chooser.Entries().size(), 2u);
  chooser.RemoveAll();
  EXPECT_TRUE(chooser.Entries().empty());

  // A file's experiment is shown whole.
  data().mode = kModeFile;
  AdvancedExportChooser file(data(), kInterfaceWithoutOutletFlowForce, ProgramText);
  EXPECT_EQ(file.Rows().size(), 19u);
}

}  // namespace
}  // namespace ORV::Views::Test
