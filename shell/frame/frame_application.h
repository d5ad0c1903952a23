#pragma once
// The frame's side of the application object: the experiment file commands'
// host on the main window and its documents (FrameFileHost), and the
// operations the ribbon commands reach through FrameApplication, done with
// the application's file commands and the frame's documents, trace views and
// trace glue (FrameApplicationLink, FrameViews). GUI thread.
#include <functional>

#include "shell/app/file_commands_ui.h"
#include "shell/frame/frame_command_host.h"

namespace ORV {
class CMainFrame;
class Configuration;
class FrameViews;

class FrameFileHost final : public Shell::QtFileCommandsHost {
 public:
  // The documents are `views`' (may be null: then there are none).
  FrameFileHost(CMainFrame& frame, Configuration& configuration, ExperimentData& experiment, FrameViews* views);

  FrameViews* Views() const { return views_; }

  void OpenTraceWindow() override;
  int TraceViewCount() const override;
  void CloseLastTraceView() override;
  void ClearDataSheet() override;
  void ClearActionSheet() override;
  void SetDrawNoSaveDataOnViews(bool on) override;
  bool IsDataSheetOpen() const override;
  void CloseDataSheet() override;
  bool IsActionSheetOpen() const override;
  void OpenActionSheet() override;
  void RefreshActionSheet() override;
  void RefreshDataSheet() override;
  void StopVideoPlayback() override;
  void UpdatePaneLayout() override;
  bool LiveTrace() const override;
  void SetLiveTrace(bool on) override;
  void SetTimeSliderForLoaded() override;
  void ResetVideoPanes() override;
  void ClearVideoPanes() override;
  bool VideoRecordingEnabled() const override;
  // Kept in the frame's settings store and shown in its File menu.
  void AddRecentFile(const std::string& path) override;

 private:
  CMainFrame& frame_;
  Configuration& configuration_;
  FrameViews* views_;
};

class FrameApplicationLink final : public FrameApplication {
 public:
  // `files` gives the application's file commands (made after the frame);
  // null while there are none. `restart` restarts the program.
  FrameApplicationLink(FrameFileHost& host, std::function<Shell::ExperimentFileCommands*()> files,
                       std::function<void()> restart);

  // The trace views registered with the glue.
  int TraceViewCount() override;
  bool LiveTrace() override { return host_.LiveTrace(); }
  void SetLiveTrace(bool on) override { host_.SetLiveTrace(on); }
  double SelectionStop() override;
  void SetViewsSelectAll(bool on) override;
  void ExportToDataSheet(int method) override;
  bool DataSheetOpen() override { return host_.IsDataSheetOpen(); }
  bool ActionSheetOpen() override { return host_.IsActionSheetOpen(); }
  void ShowDataSheet() override;
  void ShowActionSheet() override;
  void OpenDocument(const std::string& path) override;
  void CloseDocument() override;
  void RestartProgram() override;
  void ReconfigureViewsShowing(int kind) override;
  bool MainAutoRange(bool& enabled, bool& active) override;
  void SetMainAutoRange(bool enabled, bool active) override;
  bool ActiveIsTraceView() override;
  void CopyActiveViewToClipboard() override;
  // ID_FILE_NEW: a new trace window.
  void NewTraceView();

 private:
  FrameFileHost& host_;
  std::function<Shell::ExperimentFileCommands*()> files_;
  std::function<void()> restart_;
};

}  // namespace ORV
