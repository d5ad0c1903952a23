#pragma once
// The parts of the file commands' host that are the same for every frame:
// the questions and messages (caption "Tarvix 5", owned by the main window),
// the file dialogs, the "Save Experiment" dialog, and long work on a worker
// with the progress dialog on the GUI thread. The frame derives from it and
// adds its views and panes.
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

#include "shell/app/file_commands.h"

namespace ORV {
class ExperimentData;
}
namespace ORV::UI {
class ProgressThread;
}

namespace ORV::Shell {

class QtFileCommandsHost : public FileCommandsHost {
 public:
  QtFileCommandsHost(ExperimentData& experiment, std::function<QWidget*()> mainWindow);
  ~QtFileCommandsHost() override;

  SaveAnswer AskSaveChanges(std::uint32_t textId) override;
  void ShowMessage(std::uint32_t textId, Icon icon) override;
  void ShowFileMessage(std::uint32_t textId, const std::string& path, const UI::FileReason& reason, Icon icon) override;
  std::optional<std::string> AskOpenPath(const std::string& folder) override;
  std::optional<std::string> AskSavePath(const std::string& folder, const std::string& fileName) override;
  bool AskExperimentDetails() override;
  // The work runs on the shared worker pool while the progress dialog, fed
  // by the work's progress, runs modally here; returns the work's result.
  int RunWithProgress(const std::string& caption, const std::function<int(ProgressHook*)>& work) override;
  void ShowClosingProgress(bool on) override;
  // The recent-file list of the workspace (six entries, newest first).
  void AddRecentFile(const std::string& path) override;

 protected:
  QWidget* MainWindow() const { return mainWindow_ ? mainWindow_() : nullptr; }

 private:
  ExperimentData& experiment_;
  std::function<QWidget*()> mainWindow_;
  std::shared_ptr<UI::ProgressThread> closing_;
};

}  // namespace ORV::Shell
