#pragma once
// The frame's side of the application object: the experiment file commands'
// host on the main window and its document area (FrameFileHost), and the
// operations the ribbon commands reach through FrameApplication, done with
// the application's file commands and document templates
// (FrameApplicationLink). GUI thread.
#include <functional>

#include "shell/app/file_commands_ui.h"
#include "shell/frame/frame_command_host.h"

namespace ORV {
class CMainFrame;
class Configuration;
namespace UI {
class CChildFrame;
}

// Documents are opened through the templates the application registered on
// the frame's document area, in their order: trace window, data sheet,
// action sheet.
enum class FrameDocument : int { Trace = 0, DataSheet = 1, ActionSheet = 2 };

class FrameFileHost final : public Shell::QtFileCommandsHost {
 public:
  FrameFileHost(CMainFrame& frame, Configuration& configuration, ExperimentData& experiment);

  // Opens a document of `kind` through its template; null when the area
  // has no such template or its view could not be made.
  UI::CChildFrame* Open(FrameDocument kind);
  // The open child frame of `kind` made last; null when there is none.
  UI::CChildFrame* Last(FrameDocument kind) const;

  void OpenTraceWindow() override;
  int TraceViewCount() const override;
  void CloseLastTraceView() override;
  void ClearDataSheet() override {}
  void ClearActionSheet() override {}
  void SetDrawNoSaveDataOnViews(bool) override {}
  bool IsDataSheetOpen() const override;
  void CloseDataSheet() override;
  bool IsActionSheetOpen() const override;
  void OpenActionSheet() override;
  void RefreshActionSheet() override {}
  void RefreshDataSheet() override {}
  void StopVideoPlayback() override {}
  void UpdatePaneLayout() override;
  bool LiveTrace() const override;
  void SetLiveTrace(bool on) override;
  void SetTimeSliderForLoaded() override {}
  void ResetVideoPanes() override;
  void ClearVideoPanes() override {}
  bool VideoRecordingEnabled() const override;

 private:
  CMainFrame& frame_;
  Configuration& configuration_;
};

class FrameApplicationLink final : public FrameApplication {
 public:
  // `files` gives the application's file commands (made after the frame);
  // null while there are none. `restart` restarts the program.
  FrameApplicationLink(FrameFileHost& host, std::function<Shell::ExperimentFileCommands*()> files,
                       std::function<void()> restart);

  int TraceViewCount() override { return host_.TraceViewCount(); }
  bool LiveTrace() override { return host_.LiveTrace(); }
  void SetLiveTrace(bool on) override { host_.SetLiveTrace(on); }
  double SelectionStop() override { return 0.0; }
  void SetViewsSelectAll(bool) override {}
  void ExportToDataSheet(int) override {}
  bool DataSheetOpen() override { return host_.IsDataSheetOpen(); }
  bool ActionSheetOpen() override { return host_.IsActionSheetOpen(); }
  void ShowDataSheet() override;
  void ShowActionSheet() override;
  bool SaveExperiment() override;
  void OpenDocument(const std::string& path) override;
  void CloseDocument() override;
  void SaveDocument(bool askName) override;
  void RestartProgram() override;
  void ReconfigureViewsShowing(int) override {}
  // ID_FILE_NEW: a new trace window.
  void NewTraceView();

 private:
  void Show(FrameDocument kind);
  FrameFileHost& host_;
  std::function<Shell::ExperimentFileCommands*()> files_;
  std::function<void()> restart_;
};

}  // namespace ORV
