// The frame's application link and documents on the main frame with fake
// services: the ribbon's Save, Close and Open go through the experiment file
// commands and give back the saved record and its trace views; trace views,
// the data sheet and the action sheet open as tabs of the frame's document
// area, show the experiment's data and follow the ribbon's live-trace,
// selection and export commands through the trace glue.
#include "shell/frame/frame_application.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMimeData>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "graph_control/graph_interface.h"
#include "platform/com/control_loader.h"
#include "platform/ui/app_services.h"
#include "platform/ui/document_area.h"
#include "platform/ui/message_box.h"
#include "platform/ui/ribbon_bar.h"
#include "platform/ui/string_table.h"
#include "shell/app/document_templates.h"
#include "shell/app/session_experiment.h"
#include "shell/app/small_dialogs.h"
#include "shell/frame/frame_application_views.h"
#include "shell/frame/main_frame.h"
#include "shell/glue/trace_view_link.h"
#include "shell/glue/ui/document_glue_host.h"
#include "tests/shell/frame/frame_fakes.h"
#include "tests/support/test_world.h"
#include "tests/support/ui/ui_test_support.h"
#include "views/data_sheet/ui/data_view.h"
#include "views/ui/action_view.h"
#include "views/ui/trace_view_window.h"

namespace ORV::Test {
namespace {

using namespace FrameCommand;

constexpr std::int32_t kInletPressure = 11;
constexpr std::int32_t kOutletPressure = 12;

std::vector<std::tuple<std::uint32_t, float>> Pressures(const ExperimentData& data) {
  return data.Read([](const ExperimentContents& c) {
    std::vector<std::tuple<std::uint32_t, float>> out;
    for (const PMK4xData3& s : c.pressureSamples) out.emplace_back(s.time, s.p1);
    return out;
  });
}

struct FrameApplicationTest : MainFrameTest {
  void SetUp() override { Build(); }
  void TearDown() override { Reset(); }

  // The frame with the documents, the file commands (whose save is the
  // frame's) and the link.
  void Build() {
    instruments.loaded = 1;  // the pressure interface: the views plot pressures
    frame = Make(&glue);
    views.SetFrame(frame.get());
    ASSERT_EQ(frame->OnCreate(), 0);
    frame->resize(1280, 800);
    templates.RegisterWith(*frame->Documents());
    fileHost = std::make_unique<FrameFileHost>(*frame, config, experiment, &views);
    access = std::make_unique<Shell::SessionExperiment>(experiment, config, ORV::Test::SharedClock(), &views);
    files = std::make_unique<Shell::ExperimentFileCommands>(*access, *fileHost);
    link = std::make_unique<FrameApplicationLink>(
        *fileHost, [this] { return files.get(); }, [this] { ++restarts; });
    frame->Commands()->SetApplication(link.get());
    frame->UseFileCommands(files.get());
  }
  void Reset() {
    if (frame) {
      frame->Commands()->SetApplication(nullptr);
      frame->UseFileCommands(nullptr);
    }
    link.reset();
    files.reset();
    access.reset();
    fileHost.reset();
    frame.reset();
    views.SetFrame(nullptr);
  }

  // A live recording of the inlet pressure: 10 samples a second for
  // `seconds`, rising by 1 mmHg a second from 40.
  void Record(int seconds) {
    experiment.mode = kModeLive;
    experiment.startTick = 0;
    for (int i = 0; i < seconds * 10; ++i) {
      PMK4xData3 s;
      s.time = static_cast<std::uint32_t>(i * 100);
      s.p1 = 40.0f + static_cast<float>(i) / 10.0f;
      s.p2 = s.p1 - 1.0f;
      s.index = i;
      experiment.AddPressureSample(s);
    }
  }
  // A new trace view from the ribbon's new-window path, showing `code`.
  TraceDocument* OpenTrace(std::int32_t code) {
    const std::size_t before = views.TraceViews().size();
    link->NewTraceView();
    const std::vector<TraceDocument*> open = views.TraceViews();
    if (open.size() != before + 1) return nullptr;
    open.back()->View().ShowTrace(code);
    return open.back();
  }
  std::string RibbonText(UI::CommandId id) {
    UI::RibbonElement* element = frame->Ribbon()->FindByID(id);
    return element ? element->Text() : std::string();
  }

  OS::RegistryStore store;
  Com::ControlFactory factory{store, {ORV_GRAPH_CONTROL_DIR}};
  Shell::DocumentTemplates templates;
  Shell::DocumentGlueHost glueHost{templates, [this](std::uint32_t id, const std::string& text) {
                                     UI::RibbonElement* element =
                                         frame && frame->Ribbon() ? frame->Ribbon()->FindByID(id) : nullptr;
                                     if (element) element->SetText(text);
                                     return element != nullptr;
                                   }};
  Shell::TraceGlue glue{experiment, glueHost, [](std::uint32_t id) { return UI::LoadString(id); }};
  FrameViews views{FrameViews::Setup{config, experiment, glue, templates, store, &factory}};
  std::unique_ptr<CMainFrame> frame;
  std::unique_ptr<FrameFileHost> fileHost;
  std::unique_ptr<Shell::SessionExperiment> access;
  std::unique_ptr<Shell::ExperimentFileCommands> files;
  std::unique_ptr<FrameApplicationLink> link;
  int restarts = 0;
};

TEST_F(FrameApplicationTest, RibbonSaveCloseAndOpenGiveTheSameRecordAndViews) {
  TempDir folder;
  UI::ScriptedMessageBoxes boxes;
  UI::ScriptedFileDialogs dialogs;
  experiment.mode = kModeLive;
  experiment.Update([](ExperimentContents& c) {
    c.title = "Vessel on the frame";
    for (std::uint32_t i = 0; i < 300; ++i) {
      PMK4xData3 s;
      s.time = 100 + i * 200;
      s.p1 = 40.0f + static_cast<float>(i % 7);
      s.p2 = s.p1 - 1.0f;
      s.index = static_cast<std::int32_t>(i);
      c.pressureSamples.push_back(s);
    }
    return 0;
  });
  experiment.modified = true;
  const auto before = Pressures(experiment);
  ASSERT_NE(OpenTrace(kInletPressure), nullptr);

  // The "Save Experiment" dialog keeps the title and saves.
  QTimer saveDetails;
  int detailsShown = 0;
  QObject::connect(&saveDetails, &QTimer::timeout, [&] {
    if (auto* details = dynamic_cast<Shell::CExperimentDialog*>(QApplication::activeModalWidget())) {
      ++detailsShown;
      details->SaveButton()->click();
    }
  });
  saveDetails.start(20);

  UI::CommandRouter& router = frame->Router();
  // A new recording has no file of its own: Save As names it.
  dialogs.Answer(folder / "frame_vessel");
  ASSERT_TRUE(router.Execute(kFileSaveAs));
  const std::string saved = folder / "frame_vessel.tvx";
  ASSERT_TRUE(std::filesystem::exists(saved));
  EXPECT_FALSE(experiment.modified.load());
  EXPECT_EQ(detailsShown, 1);

  // Close is for an opened file only; the live record is dropped by hand
  // so that the open below must read everything back from the file. No file
  // opens while the record collects: the collection ends first.
  EXPECT_FALSE(router.QueryState(kFileClose).enabled);
  EXPECT_FALSE(router.QueryState(kFileOpen).enabled);
  experiment.mode = kModeNone;
  experiment.Update([](ExperimentContents& c) {
    c.pressureSamples.clear();
    c.title.clear();
    return 0;
  });

  dialogs.Answer(saved);
  ASSERT_TRUE(router.Execute(kFileOpen));
  EXPECT_EQ(experiment.mode.load(), kModeFile);
  EXPECT_EQ(Pressures(experiment), before);
  EXPECT_EQ(experiment.Read([](const ExperimentContents& c) { return c.title; }), "Vessel on the frame");
  EXPECT_EQ(dialogs.Asked().size(), 2u);
  EXPECT_TRUE(boxes.Shown().empty());
  // The trace view saved with the file is open again on the same trace and
  // registered; the open shows the file from its start, not live data.
  ASSERT_TRUE(ProcessEventsUntil([&] { return glue.Views().size() == 1u; }));
  const std::vector<TraceWindowState> restored = views.TraceWindows();
  ASSERT_EQ(restored.size(), 1u);
  EXPECT_EQ(restored[0].traceCode, kInletPressure);
  EXPECT_DOUBLE_EQ(restored[0].visibleStart, 0.0);
  EXPECT_FALSE(glue.LiveTrace());
  EXPECT_NE(views.ActionSheet(), nullptr) << "an opened file shows its actions";

  // Changed after the open: Save writes its own file in place, no dialog.
  experiment.modified = true;
  router.UpdateIdle();
  ASSERT_TRUE(router.Execute(kFileSave));
  EXPECT_FALSE(experiment.modified.load());
  EXPECT_EQ(dialogs.Asked().size(), 2u);

  ASSERT_TRUE(router.Execute(kFileClose));
  EXPECT_EQ(experiment.mode.load(), kModeNone);
  EXPECT_TRUE(Pressures(experiment).empty());
  EXPECT_TRUE(views.TraceViews().empty());
  EXPECT_TRUE(glue.Views().empty()) << "a closed view leaves the glue at once";
}

TEST_F(FrameApplicationTest, DocumentsOpenThroughTheTemplatesAndSheetsOnce) {
  EXPECT_EQ(link->TraceViewCount(), 0);
  link->NewTraceView();
  link->NewTraceView();
  EXPECT_EQ(link->TraceViewCount(), 2);
  fileHost->CloseLastTraceView();
  EXPECT_EQ(link->TraceViewCount(), 1);

  EXPECT_FALSE(link->DataSheetOpen());
  frame->Router().UpdateIdle();
  EXPECT_TRUE(frame->Router().QueryState(kShowDataSheet).enabled);
  ASSERT_TRUE(frame->Router().Execute(kShowDataSheet));
  ASSERT_TRUE(frame->Router().Execute(kShowActionSheet));
  link->ShowActionSheet();
  EXPECT_TRUE(link->DataSheetOpen());
  EXPECT_TRUE(link->ActionSheetOpen());
  EXPECT_FALSE(frame->Router().QueryState(kShowDataSheet).enabled);
  EXPECT_EQ(frame->Documents()->Frames().size(), 3u) << "one trace view and each sheet once";
  EXPECT_TRUE(config.DataViewShown && config.ActionViewShown);
  // The data sheet's own commands reach it while it is open.
  EXPECT_FALSE(frame->Router().QueryState(Views::CDataView::kClearCommand).enabled) << "an empty sheet";
  EXPECT_NE(frame->Ribbon()->FindByID(Views::CDataView::kExportCsvCommand), nullptr) << "on the ribbon";
  fileHost->CloseDataSheet();
  EXPECT_FALSE(link->DataSheetOpen());
  EXPECT_FALSE(frame->Router().QueryState(Views::CDataView::kExportExcelCommand).enabled);
  EXPECT_FALSE(frame->Router().Execute(Views::CDataView::kClearCommand));

  link->RestartProgram();
  EXPECT_EQ(restarts, 1);
}

TEST_F(FrameApplicationTest, SaveWaitsForCameraZerosRecording) {
  Reset();
  cameras = Cameras(kCameraTypeImagingSource, 1);
  Build();
  Record(5);
  UI::CommandRouter& router = frame->Router();
  router.UpdateIdle();
  EXPECT_TRUE(router.QueryState(kFileSave).enabled) << "a fresh recording can be saved";
  auto* camera = dynamic_cast<FakeCameraWindow*>(frame->CameraWindows().at(0));
  ASSERT_NE(camera, nullptr);
  camera->recording = true;
  router.UpdateIdle();
  EXPECT_FALSE(router.QueryState(kFileSave).enabled);
  EXPECT_FALSE(router.QueryState(kFileSaveAs).enabled);
}

TEST_F(FrameApplicationTest, TraceViewsShowTheDataAndFollowTheRibbon) {
  Record(30);
  UI::CommandRouter& router = frame->Router();
  frame->Router().UpdateIdle();
  EXPECT_FALSE(router.QueryState(kLiveTrace).enabled) << "no view yet";

  TraceDocument* pressure = OpenTrace(kInletPressure);
  TraceDocument* outlet = OpenTrace(kOutletPressure);
  ASSERT_NE(pressure, nullptr);
  ASSERT_NE(outlet, nullptr);
  ASSERT_TRUE(pressure->View().HasGraph());
  EXPECT_EQ(pressure->parentWidget()->windowTitle(), QStringLiteral("Inlet Pressure (P1) "));
  EXPECT_EQ(frame->Documents()->activeSubWindow(), outlet->parentWidget()) << "a new view comes to the front";
  ASSERT_EQ(glue.Views().size(), 2u);
  EXPECT_EQ(glue.MainView(), pressure->Link());
  // The whole recording is on the graph, the last value is the newest.
  EXPECT_FLOAT_EQ(pressure->View().LastPlottedValue(), 40.0f + 299 / 10.0f);
  auto& graph = pressure->View().Graph();
  EXPECT_NEAR(graph.Invoke<std::int32_t>(Graph::Dispid::NearestIndexFromValue, 1000.0, std::int16_t{0}), 299, 1);

  // New samples reach the view through its channel.
  PMK4xData3 next;
  next.time = 30000;
  next.p1 = 77.0f;
  experiment.AddPressureSample(next);
  ASSERT_TRUE(ProcessEventsUntil([&] { return pressure->View().QueuedRecords() == 0; }));
  EXPECT_FLOAT_EQ(pressure->View().LastPlottedValue(), 77.0f);

  // Live trace: the ribbon's button stops and starts every view following
  // the newest data, and its text says what it does next.
  router.UpdateIdle();
  EXPECT_TRUE(router.QueryState(kLiveTrace).enabled);
  ASSERT_TRUE(glue.LiveTrace());
  ASSERT_TRUE(router.Execute(kLiveTrace));
  EXPECT_FALSE(glue.LiveTrace());
  EXPECT_FALSE(pressure->View().Live() || outlet->View().Live());
  EXPECT_FALSE(config.LiveTrace);
  EXPECT_EQ(RibbonText(kLiveTrace), UI::LoadString(UI::kStartLiveTraceString));
  glue.SetTimeSpan(20);
  glue.SetTimeRange(2.0, 22.0);
  ASSERT_TRUE(router.Execute(kLiveTrace));
  EXPECT_TRUE(pressure->View().Live() && outlet->View().Live());
  EXPECT_EQ(RibbonText(kLiveTrace), UI::LoadString(UI::kStopLiveTraceString));
  EXPECT_DOUBLE_EQ(pressure->View().XMin(), 10.0) << "back to the newest data";
  EXPECT_DOUBLE_EQ(pressure->View().XMax(), 30.0);
  ASSERT_TRUE(router.Execute(kLiveTrace));
  ASSERT_TRUE(router.Execute(kLiveTrace));
  EXPECT_DOUBLE_EQ(pressure->View().XMax(), 30.0);

  // Select all traces: the setting and every open view's flag.
  ASSERT_FALSE(config.SelectAllTraces);
  ASSERT_TRUE(router.Execute(kSelectAllTraces));
  EXPECT_TRUE(config.SelectAllTraces);
  EXPECT_TRUE(pressure->Link()->SelectAll() && outlet->Link()->SelectAll());

  // A range selected in one graph goes to the other view; its export
  // opens the data sheet with the range's mean.
  router.UpdateIdle();
  EXPECT_FALSE(router.QueryState(kDataExport).enabled) << "no selection yet";
  graph.Invoke(Graph::Dispid::SelectTrace, 10.0, 20.0);
  pressure->View().OnGraphSelectTrace(10.0, 20.0);
  EXPECT_DOUBLE_EQ(link->SelectionStop(), 20.0);
  double start = 0.0, stop = 0.0;
  outlet->View().Graph().Invoke(Graph::Dispid::GetActiveSelection, &start, &stop);
  EXPECT_DOUBLE_EQ(stop, 20.0) << "select all: the other view shows the range";
  router.UpdateIdle();
  ASSERT_TRUE(router.QueryState(kDataExport).enabled);
  ASSERT_TRUE(router.Execute(kDataExport));
  Views::CDataView* sheet = views.DataSheet();
  ASSERT_NE(sheet, nullptr);
  const auto calculations = experiment.Read([](const ExperimentContents& c) { return c.calculations; });
  ASSERT_FALSE(calculations.empty());
  EXPECT_EQ(calculations.front().traceKind, kInletPressure);
  EXPECT_NEAR(calculations.front().value, 55.0, 0.1) << "the mean of 10 s to 20 s";
  ASSERT_NE(sheet->Model().Table(calculations.front().kind), nullptr);
  EXPECT_FALSE(sheet->Model().Table(calculations.front().kind)->rows.empty());

  // Auto range on the main view: switched on and applied, then held.
  router.UpdateIdle();
  ASSERT_TRUE(router.QueryState(kAutoRange).enabled);
  const bool wasOn = pressure->View().UseAutoRange() && pressure->View().AutoRangeNow();
  ASSERT_TRUE(router.Execute(kAutoRange));
  EXPECT_EQ(pressure->View().UseAutoRange() && pressure->View().AutoRangeNow(), !wasOn);
  ASSERT_TRUE(router.Execute(kAutoRange));
  EXPECT_EQ(pressure->View().UseAutoRange() && pressure->View().AutoRangeNow(), wasOn);
  EXPECT_FALSE(outlet->View().AutoRangeNow()) << "only the main view";

  // Copy to clipboard: only while a trace view is the active document; it
  // copies that view's graph.
  router.UpdateIdle();
  EXPECT_FALSE(router.QueryState(kCopyClipboard).enabled) << "the data sheet is in front";
  frame->Documents()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(pressure->parentWidget()));
  router.UpdateIdle();
  ASSERT_TRUE(router.QueryState(kCopyClipboard).enabled);
  QGuiApplication::clipboard()->clear();
  ASSERT_TRUE(router.Execute(kCopyClipboard));
  const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(copied, nullptr);
  EXPECT_FALSE(copied->formats().isEmpty());

  // Closing a view takes it out of the glue; the other becomes the main
  // view.
  pressure->parentWidget()->close();
  EXPECT_EQ(glue.Views().size(), 1u);
  EXPECT_EQ(glue.MainView(), outlet->Link());
}

TEST_F(FrameApplicationTest, CameraZoneOpensTheMainViewAndActionsFillTheSheet) {
  TempDir stores;
  ASSERT_TRUE(experiment.OpenStores(stores.path()));
  views.OpenTraceViewIfNone();
  ASSERT_EQ(views.TraceViews().size(), 1u);
  views.OpenTraceViewIfNone();
  EXPECT_EQ(views.TraceViews().size(), 1u) << "only when no view is registered";

  views.SetLiveTrace(false);
  views.SetDrawNoSaveData(false);
  TraceDocument* added = views.OpenTraceView();
  ASSERT_NE(added, nullptr);
  EXPECT_FALSE(added->View().Live()) << "a new view takes the live flag";
  EXPECT_FALSE(added->View().Graph().Get<bool>(Graph::Dispid::DrawNoSaveData));

  // An action: the sheet opens with it.
  views.AddAction(2500, "Drug added");
  Views::CActionView* sheet = views.ActionSheet();
  ASSERT_NE(sheet, nullptr);
  ASSERT_EQ(sheet->Model().RowCount(), 1u);
  EXPECT_EQ(sheet->Model().RowText(0), "Drug added");
  views.ClearSheets();
  EXPECT_EQ(sheet->Model().RowCount(), 0u);
  EXPECT_EQ(sheet->List()->rowCount(), 0);
  experiment.WithStores([](MarkerStore&, ActionStore& actions) {
    return actions.Put(0, ActionData{1500, "Stored"}, false);
  });
  views.RefreshActionSheet();
  ASSERT_EQ(sheet->List()->rowCount(), 1) << "refilled from the store";
  EXPECT_EQ(sheet->Model().RowText(0), "Stored");
  experiment.CloseStores();
}

TEST_F(FrameApplicationTest, AnActionOpensTheSheetBehindTheViewTheUserWatches) {
  frame->show();
  frame->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
  TraceDocument* watched = OpenTrace(kInletPressure);
  ASSERT_NE(watched, nullptr);
  auto* watchedFrame = qobject_cast<QMdiSubWindow*>(watched->parentWidget());
  frame->Documents()->setActiveSubWindow(watchedFrame);
  watched->Window().setFocus();
  QApplication::processEvents();
  ASSERT_TRUE(watched->isAncestorOf(QApplication::focusWidget()));

  // The first marker's action opens the sheet; later ones go into it.
  for (const char* text : {"F1 marker", "F2 marker"}) {
    views.AddAction(2500, text);
    QApplication::processEvents();
    EXPECT_EQ(frame->Documents()->currentSubWindow(), watchedFrame) << text << ": the live view stays in front";
    EXPECT_TRUE(watched->isAncestorOf(QApplication::focusWidget())) << text << ": and keeps the focus";
  }
  ASSERT_NE(views.ActionSheet(), nullptr);
  EXPECT_EQ(views.ActionSheet()->Model().RowCount(), 2u);
  EXPECT_TRUE(config.ActionViewShown);

  // Asked for, the sheet comes to the front.
  views.ShowActionSheet();
  EXPECT_NE(frame->Documents()->currentSubWindow(), watchedFrame);
}

TEST_F(FrameApplicationTest, MainWindowWithTraceViewAndDataSheetRenders) {
  Record(60);
  for (int dpi : {96, 144}) {
    ScopedDpi scoped(dpi);
    Reset();
    Build();
    // As during a collection: live, and the data counts as recorded.
    glue.SetLiveTrace(true);
    views.SetDrawNoSaveData(false);
    TraceDocument* pressure = OpenTrace(kInletPressure);
    ASSERT_NE(pressure, nullptr);
    ASSERT_NE(OpenTrace(kOutletPressure), nullptr);
    // A selected range exported to the data sheet, then the pressure view
    // in front.
    pressure->View().Graph().Invoke(Graph::Dispid::SelectTrace, 20.0, 40.0);
    pressure->View().OnGraphSelectTrace(20.0, 40.0);
    ASSERT_TRUE(frame->Router().Execute(kDataExport));
    ASSERT_NE(views.DataSheet(), nullptr);
    frame->resize(1600 * dpi / 96, 900 * dpi / 96);
    frame->show();
    // The ribbon and the panes settle after the first layout and paint.
    ProcessEventsUntil([] { return false; }, 300);
    frame->grab();
    SaveUiArtifact(*frame, "main_frame_data_sheet_" + std::to_string(dpi));
    frame->Documents()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(pressure->parentWidget()));
    QApplication::processEvents();
    // The trace commands' tab.
    frame->Ribbon()->SetActiveTab(2);
    QApplication::processEvents();
    SaveUiArtifact(*frame, "main_frame_trace_view_" + std::to_string(dpi));
  }
}

}  // namespace
}  // namespace ORV::Test
