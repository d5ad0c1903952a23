#pragma once
// A file-commands host with the program's dialogs and progress but no views
// or panes, for tests of the commands on real files and of their wiring.
#include <string>
#include <vector>

#include "shell/app/file_commands_ui.h"

namespace ORV::Test {

// The frame's part of the host: no views or panes here.
class BareHost : public Shell::QtFileCommandsHost {
 public:
  explicit BareHost(ExperimentData& data) : QtFileCommandsHost(data, [] { return nullptr; }) {}
  bool AskExperimentDetails() override { return true; }
  void OpenTraceWindow() override { ++newWindows; }
  int TraceViewCount() const override { return 0; }
  void CloseLastTraceView() override {}
  void ClearDataSheet() override {}
  void ClearActionSheet() override {}
  void SetDrawNoSaveDataOnViews(bool) override {}
  bool IsDataSheetOpen() const override { return false; }
  void CloseDataSheet() override {}
  bool IsActionSheetOpen() const override { return true; }
  void OpenActionSheet() override {}
  void RefreshActionSheet() override {}
  void RefreshDataSheet() override {}
  void StopVideoPlayback() override {}
  void UpdatePaneLayout() override {}
  bool LiveTrace() const override { return false; }
  void SetLiveTrace(bool) override {}
  void SetTimeSliderForLoaded() override {}
  void ResetVideoPanes() override {}
  void ClearVideoPanes() override {}
  bool VideoRecordingEnabled() const override { return false; }
  void AddRecentFile(const std::string& path) override { recent.push_back(path); }
  std::vector<std::string> recent;
  int newWindows = 0;
};

}  // namespace ORV::Test
