#include "shell/app/file_commands_ui.h"

#include "core/threading/async_task.h"
#include "platform/os/registry_store.h"
#include "platform/ui/app_services.h"
#include "platform/ui/message_box.h"
#include "platform/ui/progress_dialog.h"
#include "platform/ui/string_table.h"
#include "platform/ui/workspace_store.h"
#include "shell/app/small_dialogs.h"

namespace ORV::Shell {
namespace {

// The work's progress, posted to the dialog from the worker.
class PostedProgress : public ProgressHook {
 public:
  explicit PostedProgress(std::shared_ptr<UI::ProgressPoster> poster) : poster_(std::move(poster)) {}
  bool Start(const std::string& caption) override {
    poster_->PostText(caption);
    return true;
  }
  void BeginStage(const std::string& text, int steps) override { poster_->BeginStage(text, steps); }
  void SetPosition(int position) override { poster_->Post(UI::kProgressPos, position); }
  void EndStage() override { poster_->Post(UI::kProgressPop); }
  void Step() override { poster_->Post(UI::kProgressAdvance, 1); }
  void Finish() override {}

 private:
  std::shared_ptr<UI::ProgressPoster> poster_;
};

UI::FileDialogRequest ExperimentFileRequest(bool save, const std::string& folder) {
  UI::FileDialogRequest request;
  request.save = save;
  request.filter = kExperimentFilter;
  request.defaultExtension = kExperimentExtension;
  request.folder = folder;
  return request;
}

}  // namespace

QtFileCommandsHost::QtFileCommandsHost(ExperimentData& experiment, std::function<QWidget*()> mainWindow)
    : experiment_(experiment), mainWindow_(std::move(mainWindow)) {}

QtFileCommandsHost::~QtFileCommandsHost() { ShowClosingProgress(false); }

SaveAnswer QtFileCommandsHost::AskSaveChanges(std::uint32_t textId) {
  return AskSaveChangesBox(MainWindow(), UI::LoadQString(textId));
}

void QtFileCommandsHost::ShowMessage(std::uint32_t textId, Icon icon) {
  UI::MessageBox(MainWindow(), UI::LoadQString(textId), UI::ApplicationTitle(),
                 UI::MB_OK | (icon == Icon::Error ? UI::MB_ICONERROR : UI::MB_ICONWARNING));
}

void QtFileCommandsHost::ShowFileMessage(std::uint32_t textId, const std::string& path, const UI::FileReason& reason,
                                         Icon icon) {
  UI::MessageBox(MainWindow(), QString::fromStdString(UI::FileMessageText(textId, path, reason)),
                 UI::ApplicationTitle(), UI::MB_OK | (icon == Icon::Error ? UI::MB_ICONERROR : UI::MB_ICONWARNING));
}

std::optional<std::string> QtFileCommandsHost::AskOpenPath(const std::string& folder) {
  return UI::AskForFile(MainWindow(), ExperimentFileRequest(false, folder));
}

std::optional<std::string> QtFileCommandsHost::AskSavePath(const std::string& folder, const std::string& fileName) {
  UI::FileDialogRequest request = ExperimentFileRequest(true, folder);
  request.fileName = fileName;
  return UI::AskForFile(MainWindow(), request);
}

bool QtFileCommandsHost::AskExperimentDetails() {
  CExperimentDialog dialog(experiment_, MainWindow());
  return dialog.DoModal() == UI::IDOK;
}

int QtFileCommandsHost::RunWithProgress(const std::string& caption, const std::function<int(ProgressHook*)>& work) {
  UI::CWaitCursor waitCursor;
  UI::CProgressDialog dialog(MainWindow(), false);
  PostedProgress progress(dialog.Poster());
  progress.Start(caption);
  const auto future = ::Utils::Threading::AsyncTask<int>([&work, &progress] { return work(&progress); }).Start();
  // The dialog ends once the work has; the GUI thread keeps handling events
  // meanwhile, so the window never freezes.
  dialog.SetDoneQuery([future] { return future->IsFinished(); });
  dialog.DoModal();
  return future->Wait();
}

void QtFileCommandsHost::ShowClosingProgress(bool on) {
  if (on && !closing_) {
    closing_ = UI::CProgressDialog::StartThread(MainWindow());
    if (closing_ && closing_->Started()) closing_->Poster().PostText(kClosingText);
  } else if (!on && closing_) {
    closing_->Stop();
    closing_.reset();
  }
}

void QtFileCommandsHost::AddRecentFile(const std::string& path) {
  UI::WorkspaceStore(OS::RegistryStore::User()).AddToRecentFileList(path);
}

}  // namespace ORV::Shell
