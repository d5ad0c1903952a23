// The trace view's window with the real graph control, fed by the simulated
// preparation: a stored stretch replotted at the set-up, then live samples
// through the channel messages; renders of a pressure view and a diameter
// view. Also the window whose graph control cannot be created.
#include "views/ui/trace_view_window.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <vector>

#include "platform/com/control_loader.h"
#include "platform/sim/preparation.h"
#include "platform/ui/message_box.h"
#include "tests/support/ui/ui_test_support.h"
#include "tests/views/view_fixture.h"
#include "views/ui/trace_settings_dialog.h"

namespace ORV::Views::Test {
namespace {

class TraceViewWindowTest : public ViewFixture {
 protected:
  TraceViewWindowTest() {
    Record();
    prep_.SetPressureTargets(20.0, 20.0, 10.0);
  }

  std::unique_ptr<TraceViewWindow> MakeWindow() {
    TraceViewWindow::Params p;
    p.experiment = &data();
    p.registry = &registry_;
    p.devices = devices_;
    p.live = true;
    p.factory = &factory_;
    auto w = std::make_unique<TraceViewWindow>(p);
    w->resize(640, 360);
    w->show();
    return w;
  }

  // The preparation's readings from now to `until` seconds: the camera at
  // 15 frames a second, the pressure interface and the flow meter at 10
  // samples a second, all stored by the experiment and handed to its views.
  void Run(double until) {
    for (; t_ < until; t_ += 1.0 / 30.0) {
      ++tick_;
      now_ = t_;
      const auto ms = static_cast<std::uint32_t>(t_ * 1000.0);
      if (t_ >= 100 && !stepped_[0]) prep_.SetPressureTargets(50.0, 50.0, 10.0), stepped_[0] = true;
      if (t_ >= 170 && !stepped_[1]) prep_.SetPressureTargets(80.0, 80.0, 10.0), stepped_[1] = true;
      const Sim::PreparationReading r = prep_.Read();
      if (tick_ % 2 == 0) {
        ZoneData z;
        z.time = ms;
        z.zoneCount = 1;
        const double c = 320.0;
        z.outerLeft[0] = static_cast<float>(c - r.vessel.outerDiameter / 2);
        z.outerRight[0] = static_cast<float>(c + r.vessel.outerDiameter / 2);
        z.innerLeft[0] = static_cast<float>(c - r.vessel.lumenDiameter / 2);
        z.innerRight[0] = static_cast<float>(c + r.vessel.lumenDiameter / 2);
        z.valid = 1;
        data().AddZoneDataBatch(ORV::Test::MakeBatch({z}), 0);
      }
      if (tick_ % 3 == 0) {
        PMK4xData3 s;
        s.time = ms;
        s.p1 = static_cast<float>(r.p1);
        s.p2 = static_cast<float>(r.p2);
        s.temperature = static_cast<float>(r.temperature);
        data().AddPressureSample(s);
        FMASL1600Data f;
        f.time = ms;
        f.flow = static_cast<std::int16_t>(r.flow);
        data().AddFlowSample(f);
      }
    }
  }

  void Settle(TraceViewWindow& w) {
    EXPECT_TRUE(ORV::Test::ProcessEventsUntil([&] { return w.View().QueuedRecords() == 0; }));
  }

  double now_ = 0.0;
  double t_ = 0.0;
  std::uint64_t tick_ = 0;
  bool stepped_[2] = {false, false};
  Sim::Preparation prep_{[this] { return now_; }};
  Com::ControlFactory factory_{store_, {ORV_GRAPH_CONTROL_DIR}};
};

TEST_F(TraceViewWindowTest, PressureAndDiameterViewsFedByTheSimulatedLab) {
  Run(150.0);
  auto pressure = MakeWindow();
  auto diameter = MakeWindow();
  ASSERT_NE(pressure->GraphWidget(), nullptr);
  pressure->View().ShowTrace(11);
  diameter->View().ShowTrace(4);
  diameter->View().ApplyTraceSettings();
  EXPECT_EQ(diameter->View().SelectedZone(0), 1);
  EXPECT_EQ(pressure->windowTitle(), QStringLiteral("Inlet Pressure (P1) "));
  EXPECT_EQ(diameter->windowTitle(), QStringLiteral("Zone 1:Outer Diameter"));

  Run(200.0);
  Settle(*pressure);
  Settle(*diameter);
  EXPECT_NEAR(pressure->View().XMax(), 200.0, 0.2);
  EXPECT_NEAR(pressure->View().XMin(), 140.0, 0.2);
  // The whole stored stretch and the live one: 10 pressure samples a second.
  auto& graph = pressure->View().Graph();
  EXPECT_EQ(graph.Get<std::int32_t>(Graph::Dispid::ElementCount), 1);
  const auto last = graph.Invoke<std::int32_t>(Graph::Dispid::NearestIndexFromValue, 1000.0, std::int16_t{0});
  EXPECT_NEAR(last, 200 * 10 - 1, 2);

  for (int dpi : {96, 144}) {
    ORV::Test::ScopedDpi scoped(dpi);
    pressure->resize(640 * dpi / 96, 360 * dpi / 96);
    diameter->resize(640 * dpi / 96, 360 * dpi / 96);
    const std::string suffix = "_" + std::to_string(dpi);
    ORV::Test::SaveUiArtifact(*pressure, "trace_view_pressure" + suffix);
    ORV::Test::SaveUiArtifact(*diameter, "trace_view_diameter" + suffix);
  }
}

TEST_F(TraceViewWindowTest, AnEmptyViewSaysInItsPlotHowToChooseItsTrace) {
  Run(20.0);
  auto w = MakeWindow();
  QLabel* hint = w->PlotHint();
  ASSERT_NE(hint, nullptr);
  EXPECT_TRUE(hint->isVisible());
  EXPECT_TRUE(hint->text().startsWith(QStringLiteral("Right-click the plot"))) << hint->text().toStdString();
  // Over the plot, and the right click goes through it to the graph, whose
  // menu is the one that offers the traces.
  EXPECT_TRUE(w->GraphWidget()->geometry().contains(hint->geometry()));
  EXPECT_TRUE(hint->testAttribute(Qt::WA_TransparentForMouseEvents));
  EXPECT_LE(hint->sizeHint().height(), hint->height()) << "the whole text shows";
  const std::vector<MenuItem> menu = w->View().ContextMenu(0.0);
  const auto pressure = std::find_if(menu.begin(), menu.end(), [](const MenuItem& item) {
    return item.text.find("Inlet Pressure") != std::string::npos;
  });
  ASSERT_NE(pressure, menu.end()) << "the menu offers the traces";
  for (int dpi : {96, 144}) {
    ORV::Test::ScopedDpi scoped(dpi);
    w->resize(640 * dpi / 96, 360 * dpi / 96);
    ORV::Test::SaveUiArtifact(*w, "trace_view_empty_" + std::to_string(dpi));
  }
  // A trace chosen from that menu: the hint goes.
  ASSERT_TRUE(w->OnCommand(pressure->command));
  EXPECT_EQ(w->View().TraceCode(), 11);
  EXPECT_FALSE(hint->isVisible());
}

// Notes the view's newest time at every paint of a graph.
class PaintTimes final : public QObject {
 public:
  explicit PaintTimes(const CPelmoraView& view) : view_(view) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) shown.push_back(view_.CurrentTime());
    return QObject::eventFilter(watched, event);
  }
  std::vector<double> shown;

 private:
  const CPelmoraView& view_;
};

// The graph repaints from SetRange at most once in 250 ms: a sample that
// comes right after a repaint is drawn all the same, without another sample
// coming after it.
TEST_F(TraceViewWindowTest, TheLastSampleOfABurstIsDrawnWithoutWaitingForAnother) {
  auto w = MakeWindow();
  w->View().ShowTrace(11);
  PaintTimes paints(w->View());
  w->GraphWidget()->installEventFilter(&paints);
  QTest::qWait(400);  // the set-up's paints are over and the graph's repaint interval too
  const auto sample = [&](std::uint32_t ms) {
    PMK4xData3 s;
    s.time = ms;
    s.p1 = 30.0f;
    data().AddPressureSample(s);
    Settle(*w);
  };
  paints.shown.clear();
  sample(1000);
  ASSERT_FALSE(paints.shown.empty()) << "the first sample's SetRange repaints at once";
  EXPECT_DOUBLE_EQ(paints.shown.back(), 1.0);
  sample(1100);  // within the graph's repaint interval: its SetRange does not repaint
  EXPECT_TRUE(ORV::Test::ProcessEventsUntil([&] { return paints.shown.back() == 1.1; }, 1000))
      << "the last sample was not drawn";
}

TEST_F(TraceViewWindowTest, WithoutItsGraphControlTheWindowSaysSoAndStaysQuiet) {
  UI::ScriptedMessageBoxes boxes;
  TraceViewWindow::Params p;
  p.experiment = &data();
  p.registry = &registry_;
  p.devices = devices_;
  const Com::ControlFactory nowhere{store_, {}};
  p.factory = &nowhere;
  auto w = std::make_unique<TraceViewWindow>(p);
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown()[0].text, QStringLiteral("Unable to locate ORVGraph Control"));
  EXPECT_EQ(boxes.Shown()[0].caption, QStringLiteral("Error"));
  EXPECT_FALSE(w->View().HasGraph());
  EXPECT_TRUE(w->PlotHint()->isHidden()) << "no plot to choose a trace for";
  w->View().ShowTrace(11);
  Run(5.0);
  Settle(*w);
  EXPECT_EQ(w->GraphWidget(), nullptr);
}

QPushButton* Button(QWidget& dialog, const QString& text) {
  for (QPushButton* b : dialog.findChildren<QPushButton*>())
    if (b->text() == text) return b;
  return nullptr;
}

TEST_F(TraceViewWindowTest, TraceSettingsDialog) {
  UI::ScriptedMessageBoxes boxes;
  auto w = MakeWindow();
  w->View().ShowTrace(11);
  CTraceSettingsDialog dialog(w->View().Document(), {}, kInterfaceWithoutOutletFlowForce, w.get());
  const int result = ORV::Test::RunModal(dialog, [&] {
    EXPECT_EQ(dialog.KindBox()->currentText(), QStringLiteral("Inlet Pressure (P1) "));
    EXPECT_EQ(dialog.KindBox()->findText(QStringLiteral("Force")), -1);
    EXPECT_EQ(dialog.UnitText()->text(), QStringLiteral("mmHg"));
    for (int dpi : {96, 144}) {
      ORV::Test::ScopedDpi scoped(dpi);
      ORV::Test::SaveUiArtifact(dialog, "trace_settings_dialog_" + std::to_string(dpi));
    }
    // Letters are swallowed, the minus sign goes in.
    dialog.MinimumBox()->clear();
    dialog.MinimumBox()->setFocus();
    QTest::keyClicks(dialog.MinimumBox(), "a-1b1");
    EXPECT_EQ(dialog.MinimumBox()->text(), QStringLiteral("-11"));
    dialog.MinimumBox()->setText(QStringLiteral("11"));
    dialog.MaximumBox()->setText(QStringLiteral("10"));
    Button(dialog, QStringLiteral("OK"))->click();
    ASSERT_EQ(boxes.Shown().size(), 1u);
    EXPECT_EQ(boxes.Shown()[0].text, QStringLiteral("Maximum vertical limit must be larger than minimum"));
    EXPECT_TRUE(dialog.isVisible());
    // "None" empties and locks the boxes.
    dialog.KindBox()->setCurrentIndex(0);
    EXPECT_TRUE(dialog.MinimumBox()->isReadOnly());
    EXPECT_EQ(dialog.MinimumBox()->text(), QString());
    dialog.KindBox()->setCurrentIndex(dialog.KindBox()->findText(QStringLiteral("Mean Pressure")));
    EXPECT_FALSE(dialog.MinimumBox()->isReadOnly());
    dialog.MinimumBox()->setText(QStringLiteral("10"));
    dialog.MaximumBox()->setText(QStringLiteral("10"));
    dialog.AutoRangeBox()->setChecked(true);
    Button(dialog, QStringLiteral("OK"))->click();
  });
  EXPECT_EQ(result, UI::IDOK);
  std::string unit;
  EXPECT_EQ(w->View().Document().ReadTraceSettings(13, unit), (TraceSettings{10, 10, 10, 5, true, true}));
  EXPECT_EQ(w->View().Document().TraceCode(), 13);
  w->View().TraceSettingsAccepted();
  EXPECT_EQ(w->View().TraceCode(), 13);
  EXPECT_TRUE(w->View().UseAutoRange());
}

}  // namespace
}  // namespace ORV::Views::Test
