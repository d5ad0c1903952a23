// The calibration list's text form, parsed and written, in the "C" locale and
// in one whose decimal point is ",": the list itself uses "," as a separator,
// so a locale-dependent number conversion would break it.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/base/configuration.h"
#include "tests/support/test_support.h"

namespace ORV {
namespace {

// A map as "label=magnification/scale;..." for compact expectations.
std::string Show(const CalibrationMap& map) {
  std::string out;
  for (const auto& [key, e] : map) {
    if (!out.empty()) out += ';';
    char buf[64];
    std::snprintf(buf, sizeof buf, "=%d/%d", static_cast<int>(e.magnification * 100.0f + 0.5f),
                  static_cast<int>(e.scale * 10000.0f + 0.5f));
    out += key + buf;
    if (e.label != key) out += "(label " + e.label + ")";
  }
  return out;
}

std::vector<std::string> Show(const std::vector<CalibrationMap>& maps) {
  std::vector<std::string> out;
  for (const auto& m : maps) out.push_back(Show(m));
  return out;
}

class CalibrationList : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam()) {
      locale_.emplace();
      ASSERT_TRUE(locale_->active());
    }
  }
  std::optional<ORV::Test::CommaLocale> locale_;
};

INSTANTIATE_TEST_SUITE_P(Locales, CalibrationList, ::testing::Values(false, true), [](const auto& info) {
  return info.param ? std::string("CommaLocale") : std::string("CLocale");
});

TEST_P(CalibrationList, EachErrorKeepsTheMapsParsedBeforeIt) {
  struct Case {
    const char* text;
    int result;
    std::vector<std::string> maps;  // magnification x100 / scale x10000
  };
  const Case cases[] = {
      {"", kCalibrationOk, {}},
      {"{[10x@10.0,0.500000]}", kCalibrationOk, {"10x=1000/5000"}},
      {"{[a@1.5, 2.5]}", kCalibrationOk, {"a=150/25000"}},
      {"{[a@ 1.5,2.5]}", kCalibrationOk, {"a=150/25000"}},
      {"{[a@1,2],[a@3,4]}", kCalibrationOk, {"a=300/40000"}},  // a later entry replaces an earlier one
      {"{[a@x,2]}", kCalibrationNoComma, {""}},
      {"{[a@,2]}", kCalibrationOk, {"a=0/20000"}},  // no number reads as 0
      {"{[a@1,2 trailing]}", kCalibrationOk, {"a=100/20000"}},
      // -1: a group must start with "{".
      {"x", kCalibrationNoOpenBrace, {}},
      {"{[a@1,2]}x", kCalibrationNoOpenBrace, {"a=100/20000"}},
      {"{[a@1,2]},", kCalibrationNoOpenBrace, {"a=100/20000"}},
      {"{[a@1,2]}{[b@1,2]}", kCalibrationOk, {"a=100/20000", "b=100/20000"}},  // "{" starts a group
      // -2: an entry must start with "[".
      {"{}", kCalibrationNoOpenBracket, {""}},
      {"{[a@1,2]},{x", kCalibrationNoOpenBracket, {"a=100/20000", ""}},
      {"{[a@1,2],}", kCalibrationNoOpenBracket, {"a=100/20000"}},
      // -3: after an entry, "," or "}".
      {"{[a@1,2]x", kCalibrationNoCloseBrace, {"a=100/20000"}},
      {"{[a@1,2", kCalibrationNoCloseBrace, {"a=100/20000"}},
      {"{[a@1,2]", kCalibrationNoCloseBrace, {"a=100/20000"}},
      // -4: "," after the magnification.
      {"{[a@1;2]}", kCalibrationNoComma, {""}},
      {"{[a@1.5]}", kCalibrationNoComma, {""}},
      {"{[a@1,2]},{[b@3", kCalibrationNoComma, {"a=100/20000", ""}},
      // -5: no "@" before the end.
      {"{[abc", kCalibrationNoAt, {""}},
      {"{[10x@10.0,0.5],[4x@4.0,1.25]},{[10x", kCalibrationNoAt, {"10x=1000/5000;4x=400/12500", ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<CalibrationMap> maps;
    EXPECT_EQ(Configuration::ParseCalibrationList(c.text, maps), c.result);
    EXPECT_EQ(Show(maps), c.maps);
  }
}

TEST_P(CalibrationList, ParsingAppendsToTheMapsGiven) {
  std::vector<CalibrationMap> maps(1);
  EXPECT_EQ(Configuration::ParseCalibrationList("{[a@1,2]}", maps), kCalibrationOk);
  EXPECT_EQ(Show(maps), (std::vector<std::string>{"", "a=100/20000"}));
}

TEST_P(CalibrationList, ValidListsRoundTripByteForByte) {
  // Entries in key order (bytewise: "10x" before "4x"), one decimal for the
  // magnification, six for the scale.
  const char* lists[] = {
      "{[10x@10.0,0.500000],[4x@4.0,1.250000]},{[10x@10.0,0.480000]}",
      "{[10.0@10.0,1.000000]},{[10.0@10.0,1.000000]}",
      "{[10.0@10.0,1.000000]},{[10.0@10.0,1.000000]},{[10.0@10.0,1.000000]},{[10.0@10.0,1.000000]}",
      "{[@0.0,0.000000]}",
      "{[-1@-1.5,-0.000100],[Gr\xC3\xBCn 2x@2.0,123456.750000]}",
  };
  for (const char* text : lists) {
    SCOPED_TRACE(text);
    std::vector<CalibrationMap> maps;
    ASSERT_EQ(Configuration::ParseCalibrationList(text, maps), kCalibrationOk);
    EXPECT_EQ(Configuration::FormatCalibrationList(maps), text);
  }

  std::vector<CalibrationMap> maps;
  ASSERT_EQ(Configuration::ParseCalibrationList("{[4x@4,1.25],[10x@10,0.5]}", maps), kCalibrationOk);
  EXPECT_EQ(Configuration::FormatCalibrationList(maps), "{[10x@10.0,0.500000],[4x@4.0,1.250000]}");
  EXPECT_EQ(Configuration::FormatCalibrationList({}), "");
}

TEST_P(CalibrationList, LongListsAreWrittenWhole) {
  std::vector<CalibrationMap> maps(4);
  for (int camera = 0; camera < 4; ++camera) {
    for (int i = 0; i < 60; ++i) {
      const std::string label = "mag" + std::to_string(i);
      maps[static_cast<std::size_t>(camera)][label] =
          CalibrationEntry{0.25f * static_cast<float>(camera + 1), static_cast<float>(i) + 0.5f, label};
    }
  }
  const std::string text = Configuration::FormatCalibrationList(maps);
  ASSERT_GT(text.size(), 2048u);
  std::vector<CalibrationMap> again;
  ASSERT_EQ(Configuration::ParseCalibrationList(text, again), kCalibrationOk);
  EXPECT_EQ(Show(again), Show(maps));
  EXPECT_EQ(Configuration::FormatCalibrationList(again), text);
}

}  // namespace
}  // namespace ORV
