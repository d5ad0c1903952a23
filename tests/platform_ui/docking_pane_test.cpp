#include "platform/ui/docking_pane.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <functional>
#include <string>
#include <vector>

#include "core/base/configuration.h"
#include "core/base/dpi.h"
#include "platform/ui/dpi.h"
#include "platform/ui/painting.h"
#include "tests/support/ui/layout_check.h"
#include "tests/support/ui/ui_test_support.h"

namespace ORV::UI {
namespace {

// The settings of the panes that need none of their own.
const Configuration& DefaultSettings() {
  static const Configuration settings;
  return settings;
}

// A pane laid out like an instrument pane: a painted title, an etched frame
// with a label inside, and a value field, 230 x 155 at 96 DPI.
class SamplePane : public DockingPane {
 public:
  explicit SamplePane(const Configuration& settings = DefaultSettings())
      : DockingPane(settings, QString(), QStringLiteral("Sample")) {}
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
    DrawLabel(p, Rect96(8, 15, 120, 30), QStringLiteral("Flow Meter"), Qt::AlignLeft | Qt::AlignVCenter);
    DrawEtchedFrame(p, Rect96(5, 30, 196, 80));
    DrawLabel(p, Rect96(8, 50, 120, 70), QStringLiteral("ORV Flow Meter"), Qt::AlignLeft | Qt::AlignVCenter);
    for (const Painted& label : extraLabels)
      DrawLabel(p, Rect96(label.left, label.top, label.right, label.bottom), label.text, Qt::AlignLeft | Qt::AlignTop);
  }

 public:
  // Labels and controls a test adds, at 96 DPI (left, top, right, bottom).
  struct Painted {
    int left, top, right, bottom;
    QString text;
  };
  std::vector<Painted> extraLabels;
};

std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& line : lines) all += line + "\n";
  return all;
}

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
  const Configuration standardSettings;
  SamplePane standard(standardSettings);
  ASSERT_EQ(standard.Create(), 0);
  EXPECT_EQ(standard.HeaderFont().family(), QStringLiteral("Verdana"));
  EXPECT_DOUBLE_EQ(standard.HeaderFont().pointSizeF(), 8.0);
  EXPECT_DOUBLE_EQ(standard.PanelFont().pointSizeF(), 7.0);
  EXPECT_EQ(standard.font(), standard.HeaderFont());
  EXPECT_EQ(standard.field->font(), standard.PanelFont());

  Configuration customSettings;
  customSettings.FontName = "DejaVu Serif";
  customSettings.HeaderFontSize = 100;
  customSettings.PanelFontSize = 85;
  SamplePane custom(customSettings);
  ASSERT_EQ(custom.Create(), 0);
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

TEST(DockingPaneTest, APaneWithLessRoomThanItsClientScrollsToReachTheRest) {
  for (const int dpi : {96, 144}) {
    ORV::Test::ScopedDpi scaled(dpi);
    QMainWindow window;
    window.setCentralWidget(new QWidget);
    auto* pane = new SamplePane;
    ASSERT_EQ(pane->Create(), 0);
    window.addDockWidget(Qt::LeftDockWidgetArea, pane);
    window.show();
    const QSize client = pane->CalcFixedLayout();
    EXPECT_EQ(pane->ClientScroller()->sizeHint().height(), client.height()) << "it asks for its whole client";
    EXPECT_LT(pane->minimumSizeHint().height(), client.height()) << "and makes do with less";

    ORV::Test::LayOut(window, {client.width() * 3, client.height() * 2});
    EXPECT_FALSE(pane->ClientScroller()->verticalScrollBar()->isVisible()) << dpi;
    ORV::Test::LayOut(window, {client.width() * 3, client.height() / 2});
    EXPECT_EQ(pane->Client()->size(), client) << "the client keeps its size";
    EXPECT_TRUE(pane->ClientScroller()->verticalScrollBar()->isVisible()) << dpi;
    EXPECT_FALSE(pane->ClientScroller()->horizontalScrollBar()->isVisible()) << "a fixed pane keeps its width";
    EXPECT_EQ(Joined(ORV::Test::PaneLayoutProblems(*pane)), "") << dpi;

    // The painted labels as the last paint drew them.
    ASSERT_EQ(pane->PaintedLabels().size(), 2u);
    EXPECT_EQ(pane->PaintedLabels()[1].text, QStringLiteral("ORV Flow Meter"));
    EXPECT_EQ(pane->PaintedLabels()[1].rect, pane->Rect96(8, 50, 120, 70));
    EXPECT_TRUE(pane->PaintedLabels()[1].rect.contains(pane->PaintedLabels()[1].inked));
  }
}

TEST(DockingPaneTest, TheLayoutCheckFindsControlsOutsideThePaneAndLabelsOnOneAnother) {
  ORV::Test::ScopedDpi scaled(96);
  QMainWindow window;
  window.setCentralWidget(new QWidget);
  auto* pane = new SamplePane;
  ASSERT_EQ(pane->Create(), 0);
  window.addDockWidget(Qt::LeftDockWidgetArea, pane);
  ORV::Test::LayOut(window, {800, 500});
  ASSERT_EQ(Joined(ORV::Test::PaneLayoutProblems(*pane)), "") << "the sample pane is sound";

  const struct {
    const char* fault;
    std::function<void(SamplePane&)> make;
    const char* found;
  } cases[] = {
      {"a control past the client's edge", [](SamplePane& p) { p.field->setGeometry(p.Rect96(200, 50, 260, 70)); },
       "lies outside the client"},
      {"two controls on one another",
       [](SamplePane& p) {
         auto* other = new QLineEdit(p.Client());
         other->setGeometry(p.Rect96(150, 60, 200, 80));
         other->show();
       },
       "overlaps QLineEdit"},
      {"a label on a control",
       [](SamplePane& p) {
         p.extraLabels.push_back({130, 52, 200, 68, "Flow"});
       },
       "label \"Flow\""},
      {"two labels on one another",
       [](SamplePane& p) {
         p.extraLabels.push_back({10, 16, 120, 30, "Meter"});
       },
       "overlaps label \"Meter\""},
      {"a label past the client's edge",
       [](SamplePane& p) {
         p.extraLabels.push_back({190, 120, 300, 140, "Temperature"});
       },
       "label \"Temperature\""},
      {"a text too long for its label",
       [](SamplePane& p) {
         auto* label = new QLabel(QStringLiteral("A rather long caption"), p.Client());
         label->setGeometry(p.Rect96(10, 100, 40, 115));
         label->show();
       },
       "wide for a text of"},
  };
  for (const auto& c : cases) {
    auto* faulty = new SamplePane;
    ASSERT_EQ(faulty->Create(), 0);
    window.addDockWidget(Qt::RightDockWidgetArea, faulty);
    c.make(*faulty);
    ORV::Test::LayOut(window, {800, 500});
    const std::string found = Joined(ORV::Test::PaneLayoutProblems(*faulty));
    EXPECT_NE(found.find(c.found), std::string::npos) << c.fault << ":\n" << found;
    delete faulty;
  }
}

}  // namespace
}  // namespace ORV::UI
