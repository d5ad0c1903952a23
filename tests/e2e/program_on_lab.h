#pragma once
// What the whole-program tests share: the program brought up on the
// simulated lab in this process (the application object with the real main
// frame, offscreen, every dialog answered by script), the waits, and the
// readers of the record and of the frame's documents.
//
// Nothing here measures time: every wait is bounded by a count or a state,
// with generous limits for a loaded machine.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "platform/com/control_loader.h"
#include "platform/os/event_log_backend.h"
#include "platform/os/registry_store.h"
#include "platform/ui/app_services.h"
#include "platform/ui/document_area.h"
#include "platform/ui/message_box.h"
#include "shell/app/pelmora_app.h"
#include "shell/app/small_dialogs.h"
#include "shell/frame/app_frame_adapter.h"
#include "shell/frame/frame_application.h"
#include "shell/frame/program_frame.h"
#include "shell/program/program.h"
#include "shell/program_controls.h"
#include "tests/shell/app/app_test_fixture.h"
#include "tests/support/simulated_lab.h"
#include "tests/support/ui/ui_test_support.h"
#include "views/data_sheet/ui/data_view.h"
#include "views/ui/trace_view_window.h"

namespace ORV::E2E {

// Generous bound of every wait: the test machine may be loaded.
inline constexpr int kLimitMs = 90000;

inline bool WaitFor(const std::function<bool()>& done, int limitMs = kLimitMs) {
  return ORV::Test::ProcessEventsUntil(done, limitMs);
}

// Lets the program run for a while (samples arrive, panes repaint).
inline void RunFor(int ms) {
  ORV::Test::ProcessEventsUntil([] { return false; }, ms);
}

// Runs the event loop until the program waits for its next event, as it
// does between any two of the user's actions: what the frame does when it is
// idle (the window's title, the commands' states) has run.
inline void RunUntilIdle() {
  QEventLoop loop;
  QTimer::singleShot(20, &loop, &QEventLoop::quit);
  loop.exec();
}

// Answers the program's own modal dialogs while it runs: the "Save
// Experiment" details keep what they show, the workspace name and a marker's
// text are typed in, and the CSV export writes the first table it offers
// (to the file the test's file dialogs answer) and is closed.
class DialogAnswers {
 public:
  explicit DialogAnswers(std::string workspaceName = "Workspace", std::string markerText = "Added")
      : workspaceName_(std::move(workspaceName)), markerText_(std::move(markerText)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (auto* details = dynamic_cast<Shell::CExperimentDialog*>(modal)) {
        ++experimentDetails;
        if (details->Title()->text().isEmpty()) details->Title()->setText(QStringLiteral("Pressure step"));
        details->SaveButton()->click();
      } else if (auto* workspace = dynamic_cast<Shell::CustomUserWorkspaceDialog*>(modal)) {
        ++workspaceNames;
        workspace->Edit()->setText(QString::fromStdString(workspaceName_));
        workspace->SaveButton()->click();
      } else if (auto* marker = dynamic_cast<Shell::CEnterMessageDialog*>(modal)) {
        ++markerTexts;
        marker->Edit()->setText(QString::fromStdString(markerText_));
        marker->SaveButton()->click();
      } else if (auto* csv = dynamic_cast<Shell::CExportCSVDialog*>(modal)) {
        ++csvExports;
        for (std::size_t i = 0; i < Shell::CExportCSVDialog::kKinds.size(); ++i) {
          if (csv->Button(i)->isEnabled()) {
            csv->Button(i)->click();
            break;
          }
        }
        if (csv->isVisible()) csv->CloseButton()->click();
      }
    });
    timer_.start(20);
  }
  int experimentDetails = 0;
  int workspaceNames = 0;
  int markerTexts = 0;
  int csvExports = 0;

 private:
  std::string workspaceName_;
  std::string markerText_;
  QTimer timer_;
};

// The program on the simulated lab with `cameras` cameras: private settings
// and data folders, the two controls registered from the build, and the
// application object up with its main frame.
class ProgramOnLab {
 public:
  explicit ProgramOnLab(int cameras, std::string workspaceName = "Bench workspace")
      : answers(std::move(workspaceName)) {
    setenv("ORV_SIMLAB", "1", 1);
    setenv("ORV_SIMLAB_CAMERAS", std::to_string(cameras).c_str(), 1);
    // The plain picture, which the default cut-offs measure, unless the test
    // asked for another.
    setenv("ORV_SIMLAB_VESSEL", "live", 0);
  }

  // Registers the controls and brings the application up; false (with the
  // failure reported) when it did not come up with its main frame.
  bool Start() {
    // The lab as the settings of this moment describe it (a test may change
    // them after making this object).
    ORV::Test::ProcessLab();
    // The program's two controls, registered from the build's library folder
    // as the installed program registers them from its own.
    EXPECT_EQ(RegisterProgramControls(Com::ControlFactory(OS::RegistryStore::User(), {ORV_CONTROL_DIR})), Com::S_OK);
    Shell::AppOptions options;
    options.eventLog = &log;
    program = std::make_unique<ORV::Program>(std::move(options));
    app = &program->App();
    if (!app->InitInstance()) {
      ADD_FAILURE() << "the application did not start";
      return false;
    }
    frame = dynamic_cast<CMainFrame*>(app->MainWindow());
    if (frame == nullptr) {
      ADD_FAILURE() << "the application has no main frame";
      return false;
    }
    frame->resize(1600, 1000);
    return true;
  }

  Configuration& configuration() { return program->Settings(); }
  ExperimentData& experiment() { return program->Experiment(); }
  UI::CommandRouter& router() { return frame->Router(); }

  ORV::Test::AppSandbox sandbox;
  UI::ScriptedMessageBoxes boxes;
  UI::ScriptedFileDialogs dialogs;
  DialogAnswers answers;
  OS::MemoryEventLogBackend log;
  std::unique_ptr<ORV::Program> program;
  Shell::CPelmoraApp* app = nullptr;
  CMainFrame* frame = nullptr;
};

// ---- the record ----

inline std::vector<TracePoint> Trace(ExperimentData& experiment, int kind, int camera, int zone = 0) {
  std::vector<TracePoint> points;
  int count = 0;
  if (!experiment.GetSampleCount(kind, camera, zone, count)) return points;
  for (int i = 0; i < count; ++i) {
    TracePoint point;
    if (experiment.GetTraceValue(i, kind, camera, zone, point)) points.push_back(point);
  }
  return points;
}

// The mean of the trace's finite, positive values at or after `from` ms.
inline double MeanFrom(const std::vector<TracePoint>& points, std::uint32_t from) {
  double sum = 0.0;
  int n = 0;
  for (const TracePoint& p : points) {
    if (p.time < from || !std::isfinite(p.value) || p.value <= 0.0f) continue;
    sum += p.value;
    ++n;
  }
  return n > 0 ? sum / n : 0.0;
}

inline std::size_t ZoneRecords(ExperimentData& experiment, int camera) {
  return experiment.Read([camera](const ExperimentContents& c) { return c.zoneData[camera].size(); });
}
inline std::size_t PressureSamples(ExperimentData& experiment) {
  return experiment.Read([](const ExperimentContents& c) { return c.pressureSamples.size(); });
}
inline PMK4xData3 LastPressure(ExperimentData& experiment) {
  return experiment.Read([](const ExperimentContents& c) {
    return c.pressureSamples.empty() ? PMK4xData3{} : c.pressureSamples[c.pressureSamples.size() - 1];
  });
}
inline std::vector<PMK4xData3> PressureList(ExperimentData& experiment) {
  return experiment.Read([](const ExperimentContents& c) {
    return std::vector<PMK4xData3>(c.pressureSamples.begin(), c.pressureSamples.end());
  });
}
inline std::vector<MarkerData2> Markers(ExperimentData& experiment) {
  std::vector<MarkerData2> markers;
  for (std::size_t i = 0; i < experiment.MarkerCount(); ++i) markers.push_back(experiment.GetMarker(i));
  return markers;
}

// ---- the frame's documents ----

// The first widget of type T inside `parent` (the views have no meta-object
// of their own, so Qt's own search cannot tell them apart).
template <class T>
T* FindWidget(QWidget& parent) {
  for (QWidget* widget : parent.findChildren<QWidget*>())
    if (auto* found = dynamic_cast<T*>(widget)) return found;
  return nullptr;
}

inline std::vector<UI::CChildFrame*> Documents(CMainFrame& frame, unsigned kind) {
  std::vector<UI::CChildFrame*> found;
  if (frame.Documents() == nullptr) return found;
  for (UI::CChildFrame* child : frame.Documents()->Frames())
    if (child->frameKind == kind && !child->IsClosed()) found.push_back(child);
  return found;
}
inline std::vector<Views::TraceViewWindow*> TraceWindows(CMainFrame& frame) {
  std::vector<Views::TraceViewWindow*> windows;
  for (UI::CChildFrame* child : Documents(frame, UI::CChildFrame::kTraceView))
    if (auto* window = FindWidget<Views::TraceViewWindow>(*child)) windows.push_back(window);
  return windows;
}
inline Views::CDataView* DataSheet(CMainFrame& frame) {
  for (UI::CChildFrame* child : Documents(frame, UI::CChildFrame::kDataSheet))
    if (auto* view = FindWidget<Views::CDataView>(*child)) return view;
  return nullptr;
}

}  // namespace ORV::E2E
