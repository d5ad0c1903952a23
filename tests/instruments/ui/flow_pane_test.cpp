#include "instruments/ui/flow_pane.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <thread>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "platform/ui/painting.h"
#include "platform/ui/pane_factory.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"
#include "tests/support/ui/ui_test_support.h"

namespace {

using ORV::UI::LPARAM;
using ORV::UI::LRESULT;
using ORV::UI::WPARAM;

constexpr std::uint32_t kDrained = ORV::UI::WM_APP + 42;

class FlowPaneTest : public testing::Test {
 protected:
  // Hands samples to the pane the way the sampler does: through the
  // experiment record, on a thread of their own.
  void SampleFromAnotherThread(std::initializer_list<std::int16_t> flows) {
    std::thread sampler([&] {
      for (std::int16_t flow : flows) {
        ORV::FMASL1600Data sample;
        sample.flow = flow;
        experiment_.AddFlowSample(sample);
      }
    });
    sampler.join();
  }

  // Handles every message posted to the pane so far: messages arrive in
  // posting order, so once a marker posted last has run, all before it have.
  static void Drain(CFlowPane& pane) {
    bool done = false;
    pane.SetHandler(kDrained, [&](WPARAM, LPARAM) -> LRESULT {
      done = true;
      return 0;
    });
    ASSERT_TRUE(pane.PostMessage(kDrained));
    ASSERT_TRUE(ORV::Test::ProcessEventsUntil([&] { return done; }));
    pane.SetHandler(kDrained, {});
  }

  ORV::Test::SandboxedHome home_;
  ORV::Test::ScopedDpi dpi_{96};
  // The pane's context: a record and a configuration of the test's own.
  ORV::ExperimentData experiment_{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  ORV::Configuration configuration_;
  ORV::InstrumentPaneContext context_{experiment_, configuration_};
};

TEST_F(FlowPaneTest, StartsEmptyReadOnlyAndRightAligned) {
  CFlowPane pane(context_, QStringLiteral("Flow Meter"));
  ASSERT_EQ(pane.Create(), 0);
  QLineEdit* edit = pane.FlowEdit();
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(pane.windowTitle(), QStringLiteral("Flow Meter"));
  EXPECT_TRUE(edit->text().isEmpty());
  EXPECT_TRUE(edit->isReadOnly());
  EXPECT_EQ(edit->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
  EXPECT_EQ(edit->font(), pane.PanelFont());
  EXPECT_EQ(pane.font(), pane.HeaderFont());
}

TEST_F(FlowPaneTest, SamplesQueuedBeforeTheHandlerRunsShowOnlyTheNewest) {
  CFlowPane pane(context_, QStringLiteral("Flow Meter"));
  ASSERT_EQ(pane.Create(), 0);
  SampleFromAnotherThread({100, 200, 300});
  EXPECT_TRUE(pane.FlowEdit()->text().isEmpty()) << "nothing is shown before the GUI thread runs";

  // The first message to be handled takes the newest sample and empties the
  // queue.
  pane.SendMessage(CFlowPane::WM_FLOW_PANE_FLOW);
  EXPECT_EQ(pane.FlowEdit()->text(), QStringLiteral("300"));

  // The three posted messages find the queue empty and leave the field alone.
  pane.FlowEdit()->setText(QStringLiteral("untouched"));
  Drain(pane);
  EXPECT_EQ(pane.FlowEdit()->text(), QStringLiteral("untouched"));

  // A later sample is shown again.
  SampleFromAnotherThread({-5});
  Drain(pane);
  EXPECT_EQ(pane.FlowEdit()->text(), QStringLiteral("-5"));
}

TEST_F(FlowPaneTest, ShowsTheFlowAsASignedWholeNumber) {
  const struct {
    std::int16_t flow;
    const char* shown;
  } cases[] = {
      {-20, "-20"}, {0, "0"}, {1000, "1000"}, {32767, "32767"}, {-32768, "-32768"}, {-1, "-1"},
  };
  CFlowPane pane(context_, QStringLiteral("Flow Meter"));
  ASSERT_EQ(pane.Create(), 0);
  for (const auto& c : cases) {
    SampleFromAnotherThread({c.flow});
    Drain(pane);
    EXPECT_EQ(pane.FlowEdit()->text(), QString::fromLatin1(c.shown)) << c.flow;
  }
}

TEST_F(FlowPaneTest, SetActiveFalseEmptiesTheFieldAndTheNextSampleFillsIt) {
  CFlowPane pane(context_, QStringLiteral("Flow Meter"));
  ASSERT_EQ(pane.Create(), 0);
  SampleFromAnotherThread({42});
  Drain(pane);
  ASSERT_EQ(pane.FlowEdit()->text(), QStringLiteral("42"));

  pane.SetActive(true);
  EXPECT_EQ(pane.FlowEdit()->text(), QStringLiteral("42")) << "on changes nothing";
  pane.SetActive(false);
  EXPECT_TRUE(pane.FlowEdit()->text().isEmpty());
  pane.SetActive(true);
  EXPECT_TRUE(pane.FlowEdit()->text().isEmpty());

  SampleFromAnotherThread({-7});
  Drain(pane);
  EXPECT_EQ(pane.FlowEdit()->text(), QStringLiteral("-7"));
}

TEST_F(FlowPaneTest, LeavesTheRecordsReceiversWhenDestroyed) {
  {
    CFlowPane pane(context_, QStringLiteral("Flow Meter"));
    ASSERT_EQ(pane.Create(), 0);
    SampleFromAnotherThread({1, 2});
  }
  // A destroyed pane is no longer called (a sanitizer build would report the
  // use of freed memory) and its queued messages are dropped.
  SampleFromAnotherThread({3});
  QCoreApplication::processEvents();

  // A pane that was never created was never registered; destroying it is
  // harmless.
  { CFlowPane idle(context_, QStringLiteral("Flow Meter")); }
  SampleFromAnotherThread({4});
}

TEST_F(FlowPaneTest, FixedSizeAndFieldAreScaledByTheDpi) {
  const struct {
    int dpi;
    QSize size;
    QRect field;
  } cases[] = {
      {96, {230, 155}, {140, 50, 40, 20}},
      {144, {345, 232}, {210, 75, 60, 30}},
  };
  for (const auto& c : cases) {
    ORV::Test::ScopedDpi dpi(c.dpi);
    CFlowPane pane(context_, QStringLiteral("Flow Meter"));
    ASSERT_EQ(pane.Create(), 0);
    EXPECT_EQ(pane.CalcFixedLayout(), c.size) << c.dpi;
    EXPECT_EQ(pane.Client()->minimumSize(), c.size) << c.dpi;
    EXPECT_EQ(pane.Client()->maximumSize(), c.size) << c.dpi;
    EXPECT_EQ(pane.FlowEdit()->geometry(), c.field) << c.dpi;
  }
}

TEST_F(FlowPaneTest, PaintsTheTitleTheFrameAndTheLabel) {
  CFlowPane pane(context_, QStringLiteral("Flow Meter"));
  ASSERT_EQ(pane.Create(), 0);
  SampleFromAnotherThread({-20});
  Drain(pane);
  pane.Client()->resize(pane.CalcFixedLayout());
  const QImage image = ORV::Test::SaveUiArtifact(*pane.Client(), "flow_pane");
  ASSERT_EQ(image.size(), QSize(230, 155));

  const QRgb window = pane.Client()->palette().color(QPalette::Window).rgb();
  const auto inked = [&](const QRect& r) {
    for (int x = r.left(); x <= r.right(); ++x)
      for (int y = r.top(); y <= r.bottom(); ++y)
        if (image.pixel(x, y) != window) return true;
    return false;
  };
  EXPECT_TRUE(inked({8, 15, 112, 15})) << "title";
  EXPECT_TRUE(inked({8, 50, 112, 20})) << "label";
  EXPECT_FALSE(inked({8, 85, 190, 60})) << "nothing below the frame";
  // The etched frame 5,30 - 196,80.
  EXPECT_EQ(image.pixel(100, 30), ORV::UI::GetSysColor(ORV::UI::SystemColor::ButtonShadow).rgb());
  EXPECT_EQ(image.pixel(100, 79), ORV::UI::GetSysColor(ORV::UI::SystemColor::ButtonHighlight).rgb());
}

TEST_F(FlowPaneTest, UsesTheConfigurationOfItsContextAndHasAStableName) {
  configuration_.FontName = "DejaVu Sans";
  configuration_.HeaderFontSize = 120;
  configuration_.PanelFontSize = 95;
  CFlowPane pane(context_, QStringLiteral("Flow Meter"));
  ASSERT_EQ(pane.Create(), 0);
  EXPECT_EQ(pane.objectName(), QStringLiteral("FlowPane"));
  EXPECT_EQ(pane.HeaderFont().family(), QStringLiteral("DejaVu Sans"));
  EXPECT_EQ(pane.HeaderFont().pointSizeF(), 12.0);
  EXPECT_EQ(pane.PanelFont().pointSizeF(), 9.5);
  EXPECT_EQ(pane.FlowEdit()->font(), pane.PanelFont());
  EXPECT_NE(ORV::Test::SharedConfiguration().HeaderFontSize, 120) << "the record's configuration is not used";
}

TEST_F(FlowPaneTest, RestoresItsDockPositionThroughTheFramesSaveAndLoad) {
  // Each start builds the frame and docks the pane the same way; the layout
  // the user left is saved on the way out and restored on the next start.
  const auto startFrame = [&](QMainWindow& frame) {
    frame.setCentralWidget(new QWidget);
    frame.resize(640, 400);
    return ORV::UI::PaneFactory(frame).Dock<CFlowPane>(Qt::RightDockWidgetArea, context_, QStringLiteral("Flow Meter"));
  };
  const struct {
    const char* what;
    std::function<void(QMainWindow&, CFlowPane&)> move;
    Qt::DockWidgetArea area;
    bool floating;
  } cases[] = {
      {"docked left", [](QMainWindow& f, CFlowPane& p) { f.addDockWidget(Qt::LeftDockWidgetArea, &p); },
       Qt::LeftDockWidgetArea, false},
      {"docked at the bottom", [](QMainWindow& f, CFlowPane& p) { f.addDockWidget(Qt::BottomDockWidgetArea, &p); },
       Qt::BottomDockWidgetArea, false},
      {"floating", [](QMainWindow&, CFlowPane& p) { p.setFloating(true); }, Qt::RightDockWidgetArea, true},
  };
  for (const auto& c : cases) {
    QByteArray saved;
    {
      QMainWindow frame;
      CFlowPane* pane = startFrame(frame);
      ASSERT_NE(pane, nullptr) << c.what;
      EXPECT_EQ(frame.dockWidgetArea(pane), Qt::RightDockWidgetArea) << c.what;
      c.move(frame, *pane);
      saved = frame.saveState();
    }
    QMainWindow frame;
    CFlowPane* pane = startFrame(frame);
    ASSERT_NE(pane, nullptr) << c.what;
    ASSERT_TRUE(frame.restoreState(saved)) << c.what;
    EXPECT_EQ(frame.dockWidgetArea(pane), c.area) << c.what;
    EXPECT_EQ(pane->isFloating(), c.floating) << c.what;
    if (!c.floating) {
      // The restored pane is still the experiment's flow receiver.
      SampleFromAnotherThread({12});
      Drain(*pane);
      EXPECT_EQ(pane->FlowEdit()->text(), QStringLiteral("12")) << c.what;
      frame.show();
      ORV::Test::SaveUiArtifact(
          frame, std::string("flow_pane_frame_") + (c.area == Qt::LeftDockWidgetArea ? "left" : "bottom"));
    }
  }
}

}  // namespace
