#pragma once
// The main frame's side of the ribbon commands (main_frame_commands.h): the
// file, colour and name dialogs, the ribbon's elements, the camera windows,
// the configuration and the settings archive.
//
// What the application object and its views do for the commands (trace
// views, data and action sheets, live trace, documents, restart) is reached
// through FrameApplication; without one those commands have nothing to act
// on and their update rules keep them disabled where the rules allow.
//
// FrameCommands owns the host and the commands, registers them on the
// frame's router and handles the frame's custom-trace messages. GUI thread.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shell/frame/main_frame_commands.h"

namespace ORV {
class CMainFrame;
class FrameHost;
class CameraWindow;
class ExperimentData;

// The application object's operations the commands use.
class FrameApplication {
 public:
  virtual ~FrameApplication() = default;
  virtual int TraceViewCount() = 0;
  virtual bool LiveTrace() = 0;
  virtual void SetLiveTrace(bool on) = 0;
  virtual double SelectionStop() = 0;
  virtual void SetViewsSelectAll(bool on) = 0;
  virtual void ExportToDataSheet(int traceIndex) = 0;
  virtual bool DataSheetOpen() = 0;
  virtual bool ActionSheetOpen() = 0;
  virtual void ShowDataSheet() = 0;
  virtual void ShowActionSheet() = 0;
  virtual void OpenDocument(const std::string& path) = 0;
  virtual void CloseDocument() = 0;
  virtual void RestartProgram() = 0;
  virtual void ReconfigureViewsShowing(int kind) = 0;
  // The main trace view's automatic range: false when there is no main
  // view; else its two flags (switched on, applied now).
  virtual bool MainAutoRange(bool& enabled, bool& active) {
    (void)enabled;
    (void)active;
    return false;
  }
  virtual void SetMainAutoRange(bool enabled, bool active) {
    (void)enabled;
    (void)active;
  }
  // Whether the active document is a trace view, and its graph copied.
  virtual bool ActiveIsTraceView() { return TraceViewCount() > 0; }
  virtual void CopyActiveViewToClipboard() {}
};

class FrameCommands {
 public:
  struct Links {
    std::function<void()> restartSampling;
    std::function<void()> markSettingsImported;
    // Where the layout and the settings are saved (the frame's host).
    FrameHost& host;
    FrameApplication* application = nullptr;
  };
  FrameCommands(CMainFrame& frame, Configuration& configuration, ExperimentData& experiment, Links links);
  ~FrameCommands();

  MainFrameCommands& Commands();
  // Supplies the application's operations once the application has them
  // (null takes them away again).
  void SetApplication(FrameApplication* application);

 private:
  class Host;
  class Events;
  CMainFrame& frame_;
  std::unique_ptr<Host> host_;
  std::unique_ptr<MainFrameCommands> commands_;
  std::unique_ptr<Events> events_;
};

}  // namespace ORV
