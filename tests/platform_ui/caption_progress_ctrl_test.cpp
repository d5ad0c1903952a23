#include "platform/ui/caption_progress_ctrl.h"

#include <gtest/gtest.h>

#include "platform/ui/window_styles.h"
#include "tests/support/ui/ui_test_support.h"

namespace ORV::UI {
namespace {

constexpr COLORREF kRed = 0x0000FF;
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kBlue = 0xFF0000;
constexpr COLORREF kYellow = 0x00FFFF;

TEST(CaptionProgressCtrlTest, RangesAreSetAndReportedLikeAProgressBar) {
  CCaptionProgressCtrl bar;
  CCaptionProgressCtrl::Range range;
  EXPECT_EQ(bar.GetRange(true, &range), 0);
  EXPECT_EQ(bar.GetRange(false), 100);
  EXPECT_EQ(range.high, 100);

  EXPECT_EQ(bar.SetRange(10, 200), (100u << 16) | 0u) << "the old range, packed";
  EXPECT_EQ(bar.SetRange32(-5, 70000), (200u << 16) | 10u);
  EXPECT_EQ(bar.GetRange(true), -5);
  EXPECT_EQ(bar.GetRange(false), 70000);
  // The packed answer keeps 16 bits of each bound.
  EXPECT_EQ(bar.SetRange32(0, 50), (std::uint32_t(70000 & 0xFFFF) << 16) | 0xFFFBu);
}

TEST(CaptionProgressCtrlTest, PositionsAreClampedAndStepsWrap) {
  const struct {
    const char* what;
    int marqueeSize;  // -1: plain bar
    int start;
    int step;
    int (*op)(CCaptionProgressCtrl&, int);
    int argument;
    int old;
    int now;
  } cases[] = {
      {"set inside", -1, 20, 10, [](CCaptionProgressCtrl& b, int v) { return b.SetPos(v); }, 50, 20, 50},
      {"set below", -1, 20, 10, [](CCaptionProgressCtrl& b, int v) { return b.SetPos(v); }, -10, 20, 0},
      {"set above", -1, 20, 10, [](CCaptionProgressCtrl& b, int v) { return b.SetPos(v); }, 150, 20, 100},
      {"marquee above", 20, 20, 10, [](CCaptionProgressCtrl& b, int v) { return b.SetPos(v); }, 150, 20, 120},
      {"marquee inside", 20, 20, 10, [](CCaptionProgressCtrl& b, int v) { return b.SetPos(v); }, 119, 20, 119},
      {"delta", -1, 20, 10, [](CCaptionProgressCtrl& b, int v) { return b.DeltaPos(v); }, 15, 20, 35},
      {"step", -1, 70, 30, [](CCaptionProgressCtrl& b, int) { return b.StepIt(); }, 0, 70, 100},
      {"step past upper", -1, 80, 30, [](CCaptionProgressCtrl& b, int) { return b.StepIt(); }, 0, 80, 10},
      {"step below lower", -1, 10, -30, [](CCaptionProgressCtrl& b, int) { return b.StepIt(); }, 0, 10, 80},
  };
  for (const auto& c : cases) {
    CCaptionProgressCtrl bar;
    bar.SetPos(c.start);
    bar.SetStep(c.step);
    if (c.marqueeSize >= 0) {
      bar.SetMarqueeSize(c.marqueeSize);
      bar.SetMarquee(true, 30);
    }
    EXPECT_EQ(c.op(bar, c.argument), c.old) << c.what;
    EXPECT_EQ(bar.GetPos(), c.now) << c.what;
  }
  CCaptionProgressCtrl bar;
  EXPECT_EQ(bar.SetStep(5), 10);
}

TEST(CaptionProgressCtrlTest, ColoursDefaultToTheSystemsAndSettersReturnTheOldValue) {
  CCaptionProgressCtrl bar;
  EXPECT_EQ(bar.GetBarColor(), ToColorRef(GetSysColor(SystemColor::Highlight)));
  EXPECT_EQ(bar.GetBkColor(), ToColorRef(GetSysColor(SystemColor::ButtonFace)));
  EXPECT_EQ(bar.GetTextColor(), ToColorRef(GetSysColor(SystemColor::WindowText)));
  EXPECT_EQ(bar.GetTextBkColor(), ToColorRef(GetSysColor(SystemColor::Window)));
  EXPECT_EQ(bar.SetBarColor(kRed), CLR_DEFAULT);
  EXPECT_EQ(bar.SetBarColor(kBlue), kRed);
  EXPECT_EQ(bar.GetBarColor(), kBlue);
  EXPECT_EQ(bar.SetBkColor(kWhite), CLR_DEFAULT);
  EXPECT_EQ(bar.SetTextColor(kRed), CLR_DEFAULT);
  EXPECT_EQ(bar.SetTextBkColor(kYellow), CLR_DEFAULT);
  EXPECT_EQ(bar.GetTextBkColor(), kYellow);
  EXPECT_EQ(bar.SetTextBkColor(CLR_DEFAULT), kYellow);
  EXPECT_EQ(bar.GetTextBkColor(), ToColorRef(GetSysColor(SystemColor::Window)));
}

TEST(CaptionProgressCtrlTest, TheCaptionIsTheTextAndThePercentage) {
  const struct {
    const char* text;
    bool percent;
    int lower, upper, position;
    const char* caption;
  } cases[] = {
      {"", true, 0, 100, 50, "50%"},
      {"Saving ", true, 0, 100, 50, "Saving 50%"},
      {"Saving", false, 0, 100, 50, "Saving"},
      {"", true, 0, 3, 2, "67%"},
      {"", true, 0, 200, 1, "1%"},  // 0.5 rounds up
      {"", true, 0, 0, 0, "0%"},    // a range of no width
      {"", true, 5, 5, 9, "0%"},
  };
  for (const auto& c : cases) {
    CCaptionProgressCtrl bar;
    bar.SetWindowText(QString::fromLatin1(c.text));
    bar.SetShowPercent(c.percent);
    bar.SetRange32(c.lower, c.upper);
    bar.SetPos(c.position);
    EXPECT_EQ(bar.Caption(), QString::fromLatin1(c.caption)) << c.text << c.position;
  }
  CCaptionProgressCtrl bar;
  EXPECT_FALSE(bar.SetShowPercent(true));
  EXPECT_TRUE(bar.SetShowPercent(true));
  bar.SetMarquee(true, 30);
  EXPECT_EQ(bar.Caption(), QString()) << "marquee mode drops the percentage";
}

// A 200 x 20 bar in fixed colours: red bar, white background.
class ProgressPaintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bar.Create(WS_VISIBLE, QRect(0, 0, 202, 22), nullptr, 1);
    bar.SetBarColor(kRed);
    bar.SetBkColor(kWhite);
    bar.SetTextColor(kBlue);
    bar.SetTextBkColor(kYellow);
  }
  // Counts bar-coloured pixels along the row just inside the frame.
  int BarPixels(const QImage& image, bool vertical = false) {
    int n = 0;
    const int length = vertical ? image.height() : image.width();
    for (int i = 0; i < length; ++i)
      if ((vertical ? image.pixelColor(1, i) : image.pixelColor(i, 1)) == FromColorRef(kRed)) ++n;
    return n;
  }
  CCaptionProgressCtrl bar;
};

TEST_F(ProgressPaintTest, TheBarCoversTheFilledFractionOfTheRange) {
  bar.SetPos(50);
  QImage image = ORV::Test::SaveUiArtifact(bar, "progress_half");
  EXPECT_EQ(BarPixels(image), 100);
  EXPECT_EQ(image.pixelColor(50, 1), FromColorRef(kRed));
  EXPECT_EQ(image.pixelColor(150, 1), FromColorRef(kWhite));

  bar.SetWindowText(QStringLiteral("Saving "));
  bar.SetShowPercent(true);
  bar.SetPos(45);
  image = ORV::Test::SaveUiArtifact(bar, "progress_caption");
  // The caption straddles the bar's end: yellow over the bar, blue beyond.
  bool yellowOnBar = false, blueBeyond = false;
  for (int y = 2; y < 20; ++y)
    for (int x = 1; x < 201; ++x) {
      const QColor c = image.pixelColor(x, y);
      if (x < 91 && c == FromColorRef(kYellow)) yellowOnBar = true;
      if (x >= 91 && c == FromColorRef(kBlue)) blueBeyond = true;
    }
  EXPECT_TRUE(yellowOnBar);
  EXPECT_TRUE(blueBeyond);
}

TEST_F(ProgressPaintTest, ARangeOfNoWidthAndPositionsOutsideTheRangeDrawSafely) {
  const struct {
    const char* name;
    int lower, upper;
    int position;  // set while the range is 0..1000000
    int barPixels;
  } cases[] = {
      {"progress_empty_range", 0, 0, 0, 0},      {"progress_empty_range_at_5", 5, 5, 5, 0},
      {"progress_inverted_range", 10, 0, 5, 0},  {"progress_far_above_range", 0, 1, 1000000, 200},
      {"progress_below_range", 500, 600, 10, 0},
  };
  bar.SetShowPercent(true);
  for (const auto& c : cases) {
    bar.SetRange32(0, 1000000);
    bar.SetPos(c.position);
    bar.SetRange32(c.lower, c.upper);
    const QImage image = ORV::Test::SaveUiArtifact(bar, c.name);
    EXPECT_EQ(BarPixels(image), c.barPixels) << c.name;
    const QString caption = bar.Caption();
    EXPECT_TRUE(caption == QStringLiteral("0%") || caption == QStringLiteral("100%")) << c.name;
  }
}

TEST_F(ProgressPaintTest, AVerticalBarGrowsFromTheBottom) {
  CCaptionProgressCtrl vertical;
  vertical.Create(WS_VISIBLE | PBS_VERTICAL, QRect(0, 0, 24, 102), nullptr, 2);
  vertical.SetBarColor(kRed);
  vertical.SetBkColor(kWhite);
  vertical.SetWindowText(QStringLiteral("Busy "));
  vertical.SetShowPercent(true);
  vertical.SetPos(25);
  const QImage image = ORV::Test::SaveUiArtifact(vertical, "progress_vertical");
  EXPECT_EQ(BarPixels(image, true), 25);
  EXPECT_EQ(image.pixelColor(1, 95), FromColorRef(kRed));
  EXPECT_EQ(image.pixelColor(1, 10), FromColorRef(kWhite));
}

TEST_F(ProgressPaintTest, AMarqueeIsASegmentEndingAtThePosition) {
  bar.SetMarqueeSize(20);
  bar.SetMarquee(true, 30);
  bar.SetPos(50);
  const QImage image = ORV::Test::SaveUiArtifact(bar, "progress_marquee");
  EXPECT_EQ(BarPixels(image), 40);
  EXPECT_EQ(image.pixelColor(1 + 70, 1), FromColorRef(kRed));
  EXPECT_EQ(image.pixelColor(1 + 50, 1), FromColorRef(kWhite));
  EXPECT_EQ(image.pixelColor(1 + 110, 1), FromColorRef(kWhite));
}

TEST(CaptionProgressMarqueeTest, MarqueeBarsShareOneBounceDirection) {
  CCaptionProgressCtrl a, b;
  for (CCaptionProgressCtrl* bar : {&a, &b}) {
    bar->SetRange32(0, 10);
    bar->SetMarqueeSize(0);  // turning point at the upper bound
    bar->SetMarquee(true, 1000);
    EXPECT_TRUE(bar->HasTimer(CCaptionProgressCtrl::kMarqueeTimer));
  }
  const auto tick = [](CCaptionProgressCtrl& bar) { bar.SendMessage(WM_TIMER, CCaptionProgressCtrl::kMarqueeTimer); };

  // a reaches the top and turns: b, in the middle, now moves down too.
  a.SetPos(10);
  b.SetPos(5);
  tick(a);
  EXPECT_EQ(a.GetPos(), 9);
  tick(b);
  EXPECT_EQ(b.GetPos(), 4);
  // a reaches the bottom and turns again: b moves up.
  a.SetPos(0);
  tick(a);
  EXPECT_EQ(a.GetPos(), 1);
  tick(b);
  EXPECT_EQ(b.GetPos(), 5);

  a.SetMarquee(false, 0);
  EXPECT_FALSE(a.HasTimer(CCaptionProgressCtrl::kMarqueeTimer));
  EXPECT_EQ(a.GetStyle() & PBS_MARQUEE, 0u);
}

}  // namespace
}  // namespace ORV::UI
