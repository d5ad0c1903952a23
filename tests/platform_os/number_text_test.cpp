#include "platform/os/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

#include "tests/support/test_support.h"

namespace ORV::OS {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// Every conversion must give the same text and number in the "C" locale and
// in one whose decimal point is ",".
void CheckConversions() {
  struct Fixed {
    double value;
    int decimals;
    const char* text;
  };
  const Fixed fixed[] = {
      {1.25, 6, "1.250000"}, {10.0, 1, "10.0"},  {0.48f, 6, "0.480000"},
      {-0.5, 2, "-0.50"},    {2.5, 0, "2"},      {1e21, 1, "1000000000000000000000.0"},
      {kInf, 2, "inf"},      {-kInf, 2, "-inf"},
  };
  for (const auto& f : fixed) EXPECT_EQ(FormatFixed(f.value, f.decimals), f.text) << f.value;
  EXPECT_EQ(FormatShortest(1.5), "1.5");
  EXPECT_EQ(FormatInt(-42), "-42");

  struct Leading {
    const char* text;
    double value;
  };
  const Leading leading[] = {
      {"1.5", 1.5},    {"  2.25x", 2.25}, {"-3.5", -3.5},  {"+.5", 0.5},      {"1,5", 1.0},
      {"abc", 0.0},    {"", 0.0},         {"--1", 0.0},    {"1e3", 1000.0},   {"1e", 1.0},
      {"1e-400", 0.0}, {"-1e-400", -0.0}, {"1e400", kInf}, {"-1e400", -kInf},
  };
  for (const auto& l : leading) EXPECT_EQ(LeadingDouble(l.text), l.value) << l.text;
  EXPECT_EQ(LeadingInt(" 42abc"), 42);
  EXPECT_EQ(LeadingInt("-7"), -7);
  EXPECT_EQ(LeadingInt("x"), 0);
  EXPECT_EQ(LeadingInt("99999999999999999999999"), std::numeric_limits<long long>::max());

  const std::pair<const char*, std::optional<double>> whole[] = {
      {"1.5", 1.5}, {" 2 ", 2.0}, {"+3", 3.0}, {"1,5", std::nullopt}, {"1.5x", std::nullopt}, {"", std::nullopt},
  };
  for (const auto& [text, value] : whole) EXPECT_EQ(ParseDouble(text), value) << text;
  EXPECT_EQ(ParseInt("12"), 12);
  EXPECT_EQ(ParseInt("12.0"), std::nullopt);
}

TEST(NumberText, ConversionsIgnoreTheLocale) {
  CheckConversions();
  ORV::Test::CommaLocale comma;
  ASSERT_TRUE(comma.active());
  char check[16];
  std::snprintf(check, sizeof check, "%.1f", 1.5);
  ASSERT_STREQ(check, "1,5") << "the test locale must use a decimal comma";
  CheckConversions();
}

TEST(NumberText, PinNumericLocaleRestoresTheDecimalPoint) {
  ORV::Test::CommaLocale comma;
  ASSERT_TRUE(comma.active());
  PinNumericLocale();
  char text[16];
  std::snprintf(text, sizeof text, "%.1f", 1.5);
  EXPECT_STREQ(text, "1.5");
}

}  // namespace
}  // namespace ORV::OS
