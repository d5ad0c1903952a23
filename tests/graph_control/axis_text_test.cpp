// The axis label texts: time texts, the two X forms, user number formats
// and their validation, dates, and "." under a locale with a decimal comma.
#include "graph_control/axis_text.h"

#include <gtest/gtest.h>

#include <limits>

#include "tests/support/test_support.h"

namespace ORV::Graph {
namespace {

TEST(AxisText, LabelTable) {
  struct Case {
    double v, division;
    bool xTime;
    const char* format;
    const char* text;
  };
  const Case cases[] = {
      {0.0, 0.4, true, "", "0.0"},
      {0.4, 0.4, true, "", "0.4"},
      {1.2000000000000002, 0.4, true, "", "1.2"},
      {2.0, 0.4, true, "", "2.0"},
      {0.0, 10, true, "", "0"},
      {50.0, 10, true, "", "50"},
      {59.0, 1, true, "", "59"},
      {59.9, 1, true, "", "59"},
      {-12.7, 5, true, "", "-12"},
      {75.25, 10, true, "", "01:15.25"},
      {3725.5, 600, true, "", "1:02:05.50"},
      {60.0, 10, true, "", "01:00.00"},
      {360000.0, 3600, true, "", "100:00:00.00"},
      {1e300, 1e299, true, "", "2562047788015215:30:18.07"},
      {2.5, 1, false, "%g", "2.5"},
      {2.5, 1, false, "%.3f s", "2.500 s"},
      {2.5, 1, false, "%-8.1e|", "2.5e+00 |"},
      {2.5, 1, false, "100%% at %5.1lf", "100% at   2.5"},
      // Formats that are not a single number conversion print with %g.
      {2.5, 1, false, "%d", "2.5"},
      {2.5, 1, false, "%s", "2.5"},
      {2.5, 1, false, "%f %f", "2.5"},
      {2.5, 1, false, "%n", "2.5"},
      {2.5, 1, false, "%*f", "2.5"},
      {2.5, 1, false, "%500f", "2.5"},
      {2.5, 1, false, "no conversion", "2.5"},
      {2.5, 1, false, "%", "2.5"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(XLabelText(c.v, c.division, c.xTime, c.format), c.text) << c.v << " " << c.format;
  }
  EXPECT_EQ(TimeText(std::numeric_limits<double>::quiet_NaN()), "");
  EXPECT_EQ(TimeText(59.0), "59.00");
}

TEST(AxisText, DatesAndInvalidDates) {
  EXPECT_EQ(YLabelText(0.0, true, "%Y-%m-%d %H:%M:%S"), "1899-12-30 00:00:00");
  EXPECT_EQ(YLabelText(45000.75, true, "%d.%m.%Y %H:%M %a"), "15.03.2023 18:00 Wed");
  EXPECT_EQ(YLabelText(-1.25, true, "%Y-%m-%d %H:%M"), "1899-12-29 06:00");
  EXPECT_EQ(YLabelText(2958465.5, true, "%Y-%m-%d"), "9999-12-31");
  EXPECT_EQ(YLabelText(2958466.0, true, "%Y"), "Invalid DateTime");
  EXPECT_EQ(YLabelText(-700000.0, true, "%Y"), "Invalid DateTime");
  EXPECT_EQ(YLabelText(std::numeric_limits<double>::infinity(), true, "%Y"), "Invalid DateTime");
  EXPECT_EQ(YLabelText(12.5, false, "%.2f"), "12.50");
}

TEST(AxisText, DecimalPointIgnoresTheLocale) {
  ORV::Test::CommaLocale comma;
  ASSERT_TRUE(comma.active());
  EXPECT_EQ(XLabelText(0.4, 0.4, true, ""), "0.4");
  EXPECT_EQ(XLabelText(3725.5, 600, true, ""), "1:02:05.50");
  EXPECT_EQ(XLabelText(2.5, 1, false, "%.2f"), "2.50");
  EXPECT_EQ(YLabelText(1234.5, false, "%g"), "1234.5");
}

}  // namespace
}  // namespace ORV::Graph
