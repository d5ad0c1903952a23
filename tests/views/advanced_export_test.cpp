// The advanced CSV export: the samples collected per chosen trace and the
// file's text, under a locale with a decimal comma too.
#include "views/advanced_export.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <locale>
#include <sstream>

#include "platform/os/file_io.h"
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
  EXPECT_EQ(error, "The file " + (dir_ / "missing/out.csv") + " could not be written: " + std::strerror(ENOENT) + ".");
  // A full disk is told as such, and the earlier file stays.
  OS::SetWriteFault(dir_.path(), ENOSPC);
  EXPECT_FALSE(RunAdvancedExport(data(), entries, dir_ / "out.csv", error));
  OS::ClearWriteFaults();
  EXPECT_EQ(error, "The file " + (dir_ / "out.csv") + " could not be written: " + std::strerror(ENOSPC) + ".");
  EXPECT_EQ(ReadFile(dir_ / "out.csv"), "P1 (Time);P1 (Value);\n1.500;2.250;\n");
}

// A locale with a decimal comma of its own, whatever this system has built.
struct CommaPoint : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

TEST_F(AdvancedExportTest, UserDecimalPointLongExperimentsAndCancel) {
  data().startTick = 0;
  Record();
  AddPressure(1500, 2.25f);
  AddPressure(5 * 3600 * 1000 + 1, 1234.5f);  // beyond what a float holds to the millisecond
  std::vector<AdvancedExportEntry> entries = {{-1, -1, 11, "P1", {}}};
  CollectAdvancedExport(data(), entries);
  const std::locale comma(std::locale::classic(), new CommaPoint);
  EXPECT_EQ(FormatAdvancedExport(entries, 0, comma), "P1 (Time);P1 (Value);\n1,500;2,250;\n18000,001;1234,500;\n");
  EXPECT_EQ(FormatAdvancedExport(entries, 0), "P1 (Time);P1 (Value);\n1.500;2.250;\n18000.001;1234.500;\n");
  // A label holding the separator (a camera or custom trace named so) is
  // quoted, so the columns after it stay in place.
  entries[0].label = "Cam;1";
  EXPECT_EQ(FormatAdvancedExport(entries, 0).substr(0, 32), "\"Cam;1 (Time)\";\"Cam;1 (Value)\";\n");

  // A user locale this system cannot build gives the classic one. In a
  // child process: the C library keeps a little memory of the failed try.
  EXPECT_EXIT(
      {
        setenv("LC_ALL", "xx_XX.NOT-THERE", 1);
        std::_Exit(UserLocale() == std::locale::classic() ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");

  // A cancelled export leaves the file as it was.
  { std::ofstream(dir_ / "kept.csv") << "old"; }
  ExportCancel cancel{true};
  std::string error = "stale";
  EXPECT_FALSE(RunAdvancedExport(data(), entries, dir_ / "kept.csv", error, {}, std::locale::classic(), &cancel));
  EXPECT_TRUE(error.empty());
  EXPECT_EQ(ReadFile(dir_ / "kept.csv"), "old");
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
