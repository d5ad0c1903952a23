#include "platform/ui/docking_pane.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPainter>

#include "core/base/configuration.h"
#include "core/base/dpi.h"
#include "platform/ui/dpi.h"
#include "platform/ui/painting.h"
#include "tests/support/ui/ui_test_support.h"

namespace ORV::UI {
namespace {

// A pane laid out like an instrument pane: a painted title, an etched frame
// with a label inside, and a value field, 230 x 155 at 96 DPI.
class SamplePane : public DockingPane {
 public:
  SamplePane() : DockingPane(QStringLiteral("Sample")) {}
  ~SamplePane() override { CloseMessageWindow(); }
  bool failCreate = false;
  QLineEdit* field = nullptr;

 protected:
  QSize FixedSize96() const override { return {230, 155}; }
  int OnCreate() override {
    if (failCreate) return -1;
    field = new QLineEdit(Client());
    field->setGeometry(Rect96(140, 50, 180, 70));
    field->setFont(PanelFont());
    field->setAlignment(Qt::AlignRight);
    field->setReadOnly(true);
    field->setText(QStringLiteral("-20"));
    return 0;
  }
  void OnPaint(QPainter& p) override {
    DrawTransparentText(p, Rect96(8, 15, 120, 30), QStringLiteral("Flow Meter"), Qt::AlignLeft | Qt::AlignVCenter);
    DrawEtchedFrame(p, Rect96(5, 30, 196, 80));
    DrawTransparentText(p, Rect96(8, 50, 120, 70), QStringLiteral("ORV Flow Meter"), Qt::AlignLeft | Qt::AlignVCenter);
  }
};

TEST(DockingPaneTest, FixedSizeAndPlacesAreScaledByTheDpi) {
  const struct {
    int dpi;
    QSize size;
    QRect field;
  } cases[] = {
      {96, {230, 155}, {140, 50, 40, 20}},
      {120, {287, 193}, {175, 62, 50, 25}},
      {144, {345, 232}, {210, 75, 60, 30}},
      {192, {460, 310}, {280, 100, 80, 40}},
  };
  for (const auto& c : cases) {
    ORV::Test::ScopedDpi dpi(c.dpi);
    SamplePane pane;
    ASSERT_EQ(pane.Create(), 0);
    EXPECT_EQ(pane.Dpi(), c.dpi);
    EXPECT_EQ(pane.CalcFixedLayout(), c.size) << c.dpi;
    EXPECT_EQ(pane.Client()->minimumSize(), c.size) << c.dpi;
    EXPECT_EQ(pane.Client()->maximumSize(), c.size) << c.dpi;
    EXPECT_EQ(pane.field->geometry(), c.field) << c.dpi;
  }
}

TEST(DockingPaneTest, FontsComeFromTheConfigurationInTenthsOfAPoint) {
  Configuration& config = Configuration::Instance();
  const std::string savedName = config.FontName;
  const int savedHeader = config.HeaderFontSize;
  const int savedPanel = config.PanelFontSize;
  SamplePane standard;
  ASSERT_EQ(standard.Create(), 0);
  EXPECT_EQ(standard.HeaderFont().family(), QStringLiteral("Verdana"));
  EXPECT_DOUBLE_EQ(standard.HeaderFont().pointSizeF(), 8.0);
  EXPECT_DOUBLE_EQ(standard.PanelFont().pointSizeF(), 7.0);
  EXPECT_EQ(standard.font(), standard.HeaderFont());
  EXPECT_EQ(standard.field->font(), standard.PanelFont());

  config.FontName = "DejaVu Serif";
  config.HeaderFontSize = 100;
  config.PanelFontSize = 85;
  SamplePane custom;
  ASSERT_EQ(custom.Create(), 0);
  config.FontName = savedName;
  config.HeaderFontSize = savedHeader;
  config.PanelFontSize = savedPanel;
  EXPECT_EQ(custom.HeaderFont().family(), QStringLiteral("DejaVu Serif"));
  EXPECT_DOUBLE_EQ(custom.HeaderFont().pointSizeF(), 10.0);
  EXPECT_DOUBLE_EQ(custom.PanelFont().pointSizeF(), 8.5);
}

TEST(DockingPaneTest, AFailedOnCreateFailsCreate) {
  SamplePane pane;
  pane.failCreate = true;
  EXPECT_EQ(pane.Create(), -1);
}

TEST(DockingPaneTest, PaintsTransparentTextAndAnEtchedFrame) {
  ORV::Test::ScopedDpi dpi(96);
  SamplePane pane;
  ASSERT_EQ(pane.Create(), 0);
  pane.Client()->resize(pane.CalcFixedLayout());
  const QImage image = ORV::Test::SaveUiArtifact(*pane.Client(), "docking_pane");
  ASSERT_EQ(image.size(), QSize(230, 155));
  // The etched frame 5,30 - 196,80: a shadow line outside a highlight line
  // on the top and left, the reverse on the bottom and right.
  const QRgb shadow = GetSysColor(SystemColor::ButtonShadow).rgb();
  const QRgb hilight = GetSysColor(SystemColor::ButtonHighlight).rgb();
  ASSERT_NE(shadow, hilight);
  EXPECT_EQ(image.pixel(100, 30), shadow);
  EXPECT_EQ(image.pixel(100, 31), hilight);
  EXPECT_EQ(image.pixel(5, 60), shadow);
  EXPECT_EQ(image.pixel(6, 60), hilight);
  EXPECT_EQ(image.pixel(100, 79), hilight);
  EXPECT_EQ(image.pixel(100, 78), shadow);
  EXPECT_EQ(image.pixel(195, 60), hilight);
  // Transparent text leaves the window colour between its letters.
  const QRgb window = pane.Client()->palette().color(QPalette::Window).rgb();
  bool textDrawn = false;
  for (int x = 8; x < 120; ++x)
    for (int y = 15; y < 30; ++y)
      if (image.pixel(x, y) != window) textDrawn = true;
  EXPECT_TRUE(textDrawn);
  EXPECT_EQ(image.pixel(119, 16), window);
}

}  // namespace
}  // namespace ORV::UI
