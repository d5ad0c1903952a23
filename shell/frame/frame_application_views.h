#pragma once
// The application's documents in the main frame: trace views, the data
// sheet and the action sheet.
//
// FrameViews gives the application's document templates their view makers,
// so each document opens as a tab of the frame's document area, bound to
// the experiment record. A trace view is registered with the trace glue
// while its document is open, so the time window, the zoom, the selection
// and live trace reach it; the data sheet's commands (workbook, CSV, clear)
// go to the frame's router while it is open. FrameViews is also the
// trace-window host through which saving records the open views and
// opening a file restores them. GUI thread.
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/base/app_registry.h"
#include "core/experiment/trace_window_host.h"
#include "views/trace_view.h"

namespace ORV {
class CMainFrame;
class Configuration;
class ExperimentData;
namespace Com {
class ControlFactory;
}
namespace OS {
class RegistryStore;
}
namespace Shell {
class DocumentTemplates;
class TraceGlue;
class TraceViewLink;
}  // namespace Shell
namespace UI {
class CChildFrame;
}
namespace Views {
class CActionView;
class CDataView;
class TraceViewWindow;
}  // namespace Views

class FrameViews;

// One trace view's document: the view's window, and its registration with
// the trace glue (which goes first when the document goes). The view
// reports to the frame through it.
class TraceDocument final : public QWidget, public Views::TraceViewFrame {
 public:
  TraceDocument(FrameViews& owner, std::unique_ptr<Views::TraceViewWindow> window);
  ~TraceDocument() override;

  Views::TraceViewWindow& Window() { return *window_; }
  Views::CPelmoraView& View();
  // The graph onto the clipboard.
  void CopyToClipboard();
  // The glue's handle of the view; null once the document closed.
  Shell::TraceViewLink* Link() const { return link_.get(); }
  // The document closed: it leaves the glue now (it is deleted later).
  void Unregister();

  // TraceViewFrame.
  void PostToMainWindow(std::uint32_t message, OS::WPARAM wParam, OS::LPARAM lParam) override;
  void SetCursorReadout(const std::string& text) override;
  void SelectTraceRange(double start, double stop) override;
  void EnterMarker(double time) override;
  void EnsureActionSheetOpen() override;
  std::optional<Video> RecordedVideo(int camera) const override;
  void ShowVideoFrame(int camera, int frame) override;

 private:
  FrameViews& owner_;
  Views::TraceViewWindow* window_;
  std::unique_ptr<Shell::TraceViewLink> link_;
};

class FrameViews final : public TraceWindowHost {
 public:
  struct Setup {
    Configuration& configuration;
    ExperimentData& experiment;
    Shell::TraceGlue& glue;
    Shell::DocumentTemplates& templates;
    // Where the trace views keep their per-kind display settings.
    OS::RegistryStore& settings;
    // Makes the trace views' graph controls; the program's control
    // libraries when null.
    const Com::ControlFactory* graphFactory = nullptr;
  };
  // Sets the templates' view makers.
  explicit FrameViews(Setup setup);
  ~FrameViews() override;
  FrameViews(const FrameViews&) = delete;
  FrameViews& operator=(const FrameViews&) = delete;

  // The frame the documents open in and report to; documents open only
  // once it is set.
  void SetFrame(CMainFrame* frame) { frame_ = frame; }
  CMainFrame* Frame() const { return frame_; }
  Configuration& Config() { return setup_.configuration; }
  ExperimentData& Experiment() { return setup_.experiment; }
  Shell::TraceGlue& Glue() { return setup_.glue; }

  // ---- trace views ----
  // A new, visible trace view (ID_FILE_NEW); null when none could be made.
  TraceDocument* OpenTraceView();
  // A camera's first zone: the main trace view when no view is registered.
  void OpenTraceViewIfNone();
  // The open trace views in tab order.
  std::vector<TraceDocument*> TraceViews() const;
  std::vector<Views::CPelmoraView*> OpenViews() const;
  void CloseLastTraceView();

  // The active document's trace view; null when the active document is
  // none or a sheet.
  TraceDocument* ActiveTraceView() const;
  // The main view (the first registered): false without one, else its
  // automatic range, switched on (`enabled`) and applied now (`active`).
  bool MainAutoRange(bool& enabled, bool& active) const;
  // Applied now: the view's own operation (which switches it on first when
  // it is off); not applied: the flag cleared.
  void SetMainAutoRange(bool enabled, bool active);

  // ---- sheets ----
  Views::CDataView* DataSheet() const;
  Views::CActionView* ActionSheet() const;
  // Opens the sheet when it is not open, refills it from the experiment,
  // marks it shown in the configuration and brings it to the front. An
  // action sheet opened with `toFront` false stays behind the window the
  // user is working in, which keeps the focus.
  Views::CDataView* ShowDataSheet();
  Views::CActionView* ShowActionSheet(bool toFront = true);
  void CloseDataSheet();
  // Every calculation, or every action with the title and description,
  // shown again.
  void RefreshDataSheet();
  void RefreshActionSheet();
  // A sheet emptied, or both (their views only; the experiment keeps its
  // records).
  void ClearSheet(SheetKind sheet);
  void ClearSheets();
  // One action from the experiment (a marker, the sequencer) shown: the
  // action sheet opens when it is not open, behind the view the user
  // watches. (The application keeps it in the experiment while a
  // collection records.)
  void AddAction(std::uint32_t time, const std::string& text);

  // ---- live trace, the views' flags and the selection ----
  bool LiveTrace() const;
  // The glue's and every view's flag, the button's text and the setting;
  // switched on, the views show the newest data at once.
  void SetLiveTrace(bool on);
  // The graphs mark data that is not saved yet.
  void SetDrawNoSaveData(bool on);
  double SelectionStop() const;
  void SetSelectAll(bool on);
  void ExportToDataSheet(int method);
  // Every view that shows trace `kind` takes its trace again.
  void ReconfigureViewsShowing(int kind);

  // ---- TraceWindowHost ----
  std::vector<TraceWindowState> TraceWindows() const override;
  int OpenTraceWindow() override;
  void ShowTrace(int window, std::int32_t traceCode) override;
  void SetCamera(int window, std::int32_t camera) override;
  void SetZone(int window, std::int32_t camera, std::int32_t zone) override;
  void ConfigureGraphForTrace(int window, std::int32_t traceCode) override;
  void SetVisibleRange(int window, double start, double end) override;
  void Redraw(int window) override;
  bool IsSheetOpen(SheetKind sheet) const override;
  void OpenSheet(SheetKind sheet) override;

 private:
  QWidget* MakeTraceView(UI::CChildFrame& frame);
  QWidget* MakeDataSheet(UI::CChildFrame& frame);
  QWidget* MakeActionSheet(UI::CChildFrame& frame);
  Views::DevicesPresent Devices() const;
  TraceDocument* At(int window) const;
  TraceDocument* MainDocument() const;
  void Activate(UI::CChildFrame* child);

  Setup setup_;
  AppRegistry registry_;
  CMainFrame* frame_ = nullptr;
  bool drawNoSaveData_ = true;
};

}  // namespace ORV
