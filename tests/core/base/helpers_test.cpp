// The small shared functions of core/base: time texts, shear stress, random
// names, paths and the DPI.
#include <gtest/gtest.h>
#include <unistd.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/base/dpi.h"
#include "core/base/paths.h"
#include "core/base/random_name.h"
#include "core/base/shear_stress.h"
#include "core/base/time_text.h"
#include "platform/os/folders.h"
#include "platform/os/tick_source.h"
#include "tests/support/test_support.h"

namespace ORV {
namespace {

TEST(TimeText, FormatsAndParsesBothWaysInAnyLocale) {
  enum Kind {
    Whole,      // FormatTimeSeconds gives the text, ParseTimeText gives the seconds back
    Fraction,   // FormatTimeSecondsFraction gives the text (which ParseTimeText refuses: '.')
    ParseOnly,  // ParseTimeText gives the seconds
    Refused,    // ParseTimeText returns false
  };
  struct Case {
    Kind kind;
    std::string text;
    double seconds;
  };
  const Case cases[] = {
      {Whole, "1:02:05", 3725},
      {Whole, "2:05", 125},
      {Whole, "59", 59},
      {Whole, "1:00:00", 3600},
      {Whole, "1:00", 60},
      {Whole, "0", 0},
      {Whole, "100:00:01", 360001},
      {Fraction, "1:02:05.50", 3725.5},
      {Fraction, "01:05.25", 65.25},
      {Fraction, "05.50", 5.5},
      {Fraction, "00.00", 0},
      {Fraction, "01:00.00", 60},
      {Fraction, "10:00:00.25", 36000.25},
      {ParseOnly, "90", 90},
      {ParseOnly, "", 0},
      {ParseOnly, "00:00:59", 59},
      {ParseOnly, " \t2:05\r\n", 125},
      {ParseOnly, "1:60", 120},
      {ParseOnly, ":", 0},
      {ParseOnly, "999999999999", 999999999999.0},
      {Refused, "1.5", 0},
      {Refused, "01:05.25", 0},
      {Refused, "abc", 0},
      {Refused, "1 h", 0},
      {Refused, "-5", 0},
      {Refused, "+5", 0},
      {Refused, "1:2:3:4", 0},
      {Refused, "1234567890123", 0},
      {Refused, std::string(40, '9'), 0},
      {Refused,
       std::string("1\0"
                   "2",
                   3),
       0},
  };
  for (bool comma : {false, true}) {
    SCOPED_TRACE(comma ? "comma locale" : "C locale");
    std::optional<ORV::Test::CommaLocale> locale;
    if (comma) locale.emplace();
    for (const auto& c : cases) {
      SCOPED_TRACE(c.text);
      std::int64_t parsed = -12345;
      const bool ok = ParseTimeText(std::string_view(c.text), parsed);
      switch (c.kind) {
        case Whole:
          EXPECT_EQ(FormatTimeSeconds(static_cast<std::uint32_t>(c.seconds)), c.text);
          [[fallthrough]];
        case ParseOnly:
          EXPECT_TRUE(ok);
          EXPECT_EQ(parsed, static_cast<std::int64_t>(c.seconds));
          break;
        case Fraction:
          EXPECT_EQ(FormatTimeSecondsFraction(c.seconds), c.text);
          EXPECT_FALSE(ok);
          break;
        case Refused:
          EXPECT_FALSE(ok);
          break;
      }
    }
  }
  std::int64_t out = 0;
  EXPECT_FALSE(ParseTimeText(static_cast<const char*>(nullptr), out));
  EXPECT_TRUE(ParseTimeText("2:05", out));
  EXPECT_EQ(out, 125);
}

TEST(ShearStress, FollowsTheFormulaWithItsOwnPiAndIsZeroForNoDistance) {
  struct Case {
    double a, b, flow, expected;
  };
  const Case cases[] = {
      {0, 2, 60, 8912676.823330358},  // r = 1: 0.028e9 / 3.14159265
      {10, 30, 120, 17825.353646660716}, {30, 10, 120, -17825.353646660716}, {5, 5, 100, 0.0}, {0, 0, 0, 0.0},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(ShearStress(c.a, c.b, c.flow), c.expected) << c.a << " " << c.b;
  EXPECT_NE(ShearStress(0, 2, 60), 0.028e9 / kPi) << "uses 3.14159265, not pi";
}

TEST(RandomName, FourCharactersOfTheAlphabetFromOneDraw) {
  struct Case {
    std::uint32_t draw;
    const char* name;
  };
  const Case cases[] = {
      {0, "aaaa"},        // 65535: bytes FF FF 00 00, negative bytes pick the first character
      {9999999, "aaaa"},  // taken modulo 9999999
      {32767, "ahba"},    // 98302: bytes FE 7F 01 00
      {1234567, "aaTa"}, {0xFFFFFFFFu, "naQa"},
  };
  for (const auto& c : cases) EXPECT_EQ(MakeRandomName([&] { return c.draw; }), c.name) << c.draw;

  std::mt19937 gen(7);
  for (int i = 0; i < 2000; ++i) {
    const std::uint32_t draw = gen() % 32768u;
    const std::string name = MakeRandomName([&] { return draw; });
    ASSERT_EQ(name.size(), 4u);
    for (char ch : name) ASSERT_NE(kRandomNameAlphabet.find(ch), std::string_view::npos) << name;
    ASSERT_TRUE(name[2] == 'a' || name[2] == 'b') << name;
    ASSERT_EQ(name[3], 'a') << name;
  }

  // Seeded with the tick count: the same tick gives the same name.
  OS::ManualTickSource ticks(123456);
  OS::ScopedTickSource scoped(ticks);
  const std::string first = MakeRandomName();
  EXPECT_EQ(MakeRandomName(), first);
  EXPECT_EQ(first.size(), 4u);
}

TEST(Paths, JoinBuildAndSplit) {
  struct Join {
    const char *a, *b, *joined;
  };
  for (const Join& j : {Join{"/data/A/", "b", "/data/A/b"}, Join{"/data/A", "b", "/data/A/b"}, Join{"", "b", "b"},
                        Join{"C:\\A\\", "b", "C:\\A\\b"}, Join{"/", "tmp", "/tmp"}})
    EXPECT_EQ(JoinPath(j.a, j.b), j.joined) << j.a;

  EXPECT_EQ(BuildPath({"/tmp/", "ORV-TX5"}), "/tmp/ORV-TX5");
  EXPECT_EQ(BuildPath({"/home/lab", "/ORV-Settings/", "TX5", "abcD"}), "/home/lab/ORV-Settings/TX5/abcD");
  EXPECT_EQ(BuildPath({"relative", "x"}), "relative/x");
  EXPECT_EQ(BuildPath(std::vector<std::string>{"/only/"}), "/only");
  EXPECT_EQ(BuildPath(std::vector<std::string>{}), "");

  struct Name {
    const char *path, *name;
  };
  for (const Name& n : {Name{"C:\\Data\\video 1.avi", "video 1.avi"}, Name{"/home/lab/exp.tvx", "exp.tvx"},
                        Name{"D:/mixed\\style/file.dta", "file.dta"}, Name{"plain", "plain"}, Name{"/dir/", ""}})
    EXPECT_EQ(GetFileNamePart(n.path), n.name) << n.path;
}

TEST(Paths, AnExperimentsTitleBecomesAFileNameASaveDialogCanOffer) {
  const std::string longTitle = std::string(199, 'a') + "\xC3\xA9" + "tail";  // "é" across the 200-byte cut
  const struct {
    std::string title;
    const char* extension;
    std::string name;
  } cases[] = {
      {"Rat aorta 3", ".tvx", "Rat aorta 3.tvx"},
      {"", ".xlsx", "Untitled.xlsx"},
      {"   ", ".csv", "Untitled.csv"},
      {"  Mesenteric artery, 37.5 C  ", ".tvx", "Mesenteric artery, 37.5 C.tvx"},
      {"a/b\\c:d*e?f\"g<h>i|j", ".tvx", "a_b_c_d_e_f_g_h_i_j.tvx"},
      {"line\nbreak\ttab", ".tvx", "line_break_tab.tvx"},
      {"..hidden", ".tvx", "hidden.tvx"},
      {"Gef\xC3\xA4\xC3\x9F", ".csv", "Gef\xC3\xA4\xC3\x9F.csv"},
      {longTitle, ".tvx", std::string(199, 'a') + ".tvx"},
  };
  for (const auto& c : cases) EXPECT_EQ(FileNameFromTitle(c.title, c.extension), c.name) << c.title;
}

TEST(Paths, UserFoldersFollowTheEnvironment) {
  ORV::Test::SandboxedHome home;
  EXPECT_EQ(JoinPath(OS::TempDir(), "x.log"), home.root() + "/tmp/x.log");
  EXPECT_EQ(OS::DataHome(), home.root() + "/home/.local/share");
}

TEST(Paths, DeleteFilesInFolderDeletesOnlyItsOwnFiles) {
  ORV::Test::TempDir dir;
  const std::string folder = dir / "scripts";
  ASSERT_TRUE(OS::EnsureDir(folder + "/sub"));
  ASSERT_TRUE(OS::AtomicWriteFile(folder + "/a.lua", std::string_view("a")));
  ASSERT_TRUE(OS::AtomicWriteFile(folder + "/b.lua", std::string_view("b")));
  ASSERT_TRUE(OS::AtomicWriteFile(folder + "/sub/c.lua", std::string_view("c")));
  const std::string outside = dir / "outside.lua";
  ASSERT_TRUE(OS::AtomicWriteFile(outside, std::string_view("keep")));
  ASSERT_EQ(::symlink(outside.c_str(), (folder + "/link.lua").c_str()), 0);

  EXPECT_EQ(DeleteFilesInFolder(folder), 2);
  EXPECT_FALSE(OS::PathExists(folder + "/a.lua"));
  EXPECT_TRUE(OS::PathExists(folder + "/sub/c.lua"));
  EXPECT_TRUE(OS::PathExists(outside));
  EXPECT_EQ(DeleteFilesInFolder(folder), 0);
  EXPECT_EQ(DeleteFilesInFolder(dir / "missing"), 0);
}

TEST(Dpi, FallsBackTo96) {
  EXPECT_EQ(QueryDpi(), 96);
  SetDpiProvider([] { return 144; });
  EXPECT_EQ(QueryDpi(), 144);
  EXPECT_EQ(ScaleByDpi(400, QueryDpi()), 600);
  SetDpiProvider([] { return 0; });
  EXPECT_EQ(QueryDpi(), 96) << "a provider that cannot tell";
  SetDpiProvider(nullptr);
  EXPECT_EQ(QueryDpi(), 96);
}

}  // namespace
}  // namespace ORV
