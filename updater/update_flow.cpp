#include "updater/update_flow.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "core/threading/async_task.h"
#include "updater/installation.h"
#include "updater/update_query.h"

namespace ORV::Freshet {

namespace {

using CheckTask = ::Utils::Threading::AsyncTask<UpdateResponses>;
using UpdateTask = ::Utils::Threading::AsyncTask<bool>;

struct Outstanding {
  std::mutex mutex;
  std::vector<std::shared_ptr<const Utils::Sync::Event>> running;
};

Outstanding& Tasks() {
  static Outstanding* tasks = new Outstanding;  // lives through the library's unload
  return *tasks;
}

// Remembers a started task; forgets the ones that have ended.
void Track(std::shared_ptr<const Utils::Sync::Event> finished) {
  // Made at the first task, so it is destroyed before the library's other
  // static state (the worker pool, libcurl's global state) when the library
  // is unloaded or the program ends: a running task never outlives them.
  static const struct JoinAtUnload {
    ~JoinAtUnload() { JoinOutstandingTasks(); }
  } joinAtUnload;
  Outstanding& t = Tasks();
  std::lock_guard lock(t.mutex);
  std::erase_if(t.running, [](const auto& e) { return e->IsSet(); });
  t.running.push_back(std::move(finished));
}

template <class Future>
std::shared_ptr<const Utils::Sync::Event> FinishedOf(const std::shared_ptr<Future>& future) {
  return {future, &future->finished};
}

// The tasks hold the settings and the installed products, never the object
// that started them: a dialog may end while they run on.
class WorkerTasks : public UpdateTasks {
 public:
  WorkerTasks(FreshetSettings& settings, std::shared_ptr<const OS::InstalledProducts> installed)
      : settings_(settings), installed_(std::move(installed)) {}
  void StartCheck() override {
    check_ = CheckTask([&settings = settings_, installed = installed_] {
               return RunCheckTask(settings, *installed);
             }).Start();
    Track(FinishedOf(check_));
  }
  std::optional<UpdateResponses> CheckResult() override {
    if (!check_ || !check_->IsFinished()) return std::nullopt;
    return check_->GetResult();
  }
  void StartUpdate(UpdateResponses response) override {
    auto notices = std::make_shared<Notices>();
    notices_ = notices;
    update_ = UpdateTask([&settings = settings_, response, notices] {
                return RunUpdateTask(settings, response, notices.get());
              }).Start();
    Track(FinishedOf(update_));
  }
  std::optional<bool> UpdateResult() override {
    if (!update_ || !update_->IsFinished()) return std::nullopt;
    return update_->GetResult();
  }
  // The task wrote them before its future completed.
  Notices UpdateNotices() override { return UpdateResult().has_value() ? *notices_ : Notices(); }

 private:
  FreshetSettings& settings_;
  std::shared_ptr<const OS::InstalledProducts> installed_;
  std::shared_ptr<CheckTask::Future> check_;
  std::shared_ptr<UpdateTask::Future> update_;
  std::shared_ptr<Notices> notices_;
};

FreshetSettings CopyOf(const FreshetSettings& settings) {
  std::lock_guard lock(UpdateStateMutex());
  return settings;
}

}  // namespace

std::mutex& UpdateStateMutex() {
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}

void JoinOutstandingTasks() {
  Outstanding& t = Tasks();
  std::vector<std::shared_ptr<const Utils::Sync::Event>> running;
  {
    std::lock_guard lock(t.mutex);
    running.swap(t.running);
  }
  for (const auto& finished : running) finished->Wait();
}

UpdateResponses RunCheckTask(FreshetSettings& settings, const OS::InstalledProducts& installed) {
  if (IsInstallPending(CopyOf(settings))) return UpdateResponses::InstallPending;
  return CheckAndPublish(settings, installed);
}

UpdateResponses CheckAndPublish(FreshetSettings& settings, const OS::InstalledProducts& installed) {
  FreshetSettings work = CopyOf(settings);
  bool failed = false;
  const int found = CheckForUpdates(work, installed, &failed);
  {
    std::lock_guard lock(UpdateStateMutex());
    settings.updates = std::move(work.updates);
    settings.ownProduct = std::move(work.ownProduct);
  }
  if (failed && found == 0) return UpdateResponses::CheckFailed;
  return found ? UpdateResponses::UpdateAvailable : UpdateResponses::NoUpdate;
}

bool RunUpdateTask(FreshetSettings& settings, UpdateResponses response, Notices* notices) {
  const FreshetSettings work = CopyOf(settings);
  if (response == UpdateResponses::UpdateAvailable)
    return PrepareAndInstall(work, nullptr, DefaultHandOffFiles(), notices);
  if (response == UpdateResponses::InstallPending)
    return InstallStep(work, nullptr, DefaultHandOffFiles(), notices) == 1;
  return false;
}

std::unique_ptr<UpdateTasks> MakeWorkerTasks(FreshetSettings& settings,
                                             std::shared_ptr<const OS::InstalledProducts> installed) {
  return std::make_unique<WorkerTasks>(settings, std::move(installed));
}

UpdateCheckModel::UpdateCheckModel(UpdateTasks& tasks, bool afterCheck, AskFn ask)
    : tasks_(tasks), afterCheck_(afterCheck), ask_(std::move(ask)) {}

void UpdateCheckModel::Start() {
  if (afterCheck_) return;
  tasks_.StartCheck();
  checkRunning_ = true;
}

int UpdateCheckModel::Step() {
  position_ = position_ >= 100 ? 0 : position_ + 1;
  return position_;
}

void UpdateCheckModel::Cancel() {
  if (cancelEnabled_ && !Ended()) result_ = kDialogCancel;
}

void UpdateCheckModel::Poll() {
  if (asking_ || Ended()) return;
  if (updateRunning_) {
    if (const auto done = tasks_.UpdateResult()) result_ = *done ? kDialogOk : kDialogCancel;
    return;
  }
  UpdateResponses response = UpdateResponses::UpdateAvailable;
  if (checkRunning_) {
    const auto done = tasks_.CheckResult();
    if (!done) return;
    checkRunning_ = false;
    response = *done;
  } else if (!afterCheck_) {
    return;
  }
  Act(response);
}

void UpdateCheckModel::Act(UpdateResponses response) {
  switch (response) {
    case UpdateResponses::NoUpdate:
      text_ = kNoUpdateText;
      result_ = kDialogNo;
      return;
    case UpdateResponses::CheckFailed:
      text_ = kCheckFailedText;
      result_ = kDialogCheckFailed;
      return;
    case UpdateResponses::UpdateAvailable: {
      text_ = kUpdateAvailableText;
      asking_ = true;
      const bool yes = ask_ && ask_();
      asking_ = false;
      if (!yes) {
        result_ = kDialogCancel;
        return;
      }
      break;
    }
    case UpdateResponses::InstallPending:
      break;
  }
  text_ = kDownloadingText;
  cancelEnabled_ = false;
  tasks_.StartUpdate(response);
  updateRunning_ = true;
  afterCheck_ = false;
}

int HeadlessPresenter::RunUpdateCheckDialog(UpdateTasks& tasks, bool afterCheck) {
  UpdateCheckModel model(tasks, afterCheck, [] { return false; });
  model.Start();
  while (model.Poll(), !model.Ended()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return model.Result();
}

void HeadlessPresenter::ShowMessage(const std::string& text) { ShowInformation(text); }

namespace {
std::atomic<FlowPresenter*> g_presenter{nullptr};
std::atomic<PresenterProvider> g_provider{nullptr};
}  // namespace

FlowPresenter& CurrentPresenter() {
  static HeadlessPresenter headless;
  if (FlowPresenter* p = g_presenter.load()) return *p;
  if (const PresenterProvider provider = g_provider.load()) {
    if (FlowPresenter* p = provider()) return *p;
  }
  return headless;
}

void SetPresenter(FlowPresenter* presenter) { g_presenter.store(presenter); }

void SetPresenterProvider(PresenterProvider provider) { g_provider.store(provider); }

void UpdateCheckFlow(FreshetSettings& settings, std::shared_ptr<const OS::InstalledProducts> installed,
                     FlowPresenter& presenter, bool manual, bool afterCheck) {
  int result = 0;
  const std::unique_ptr<UpdateTasks> tasks = MakeWorkerTasks(settings, installed);
  if (afterCheck) {
    const UpdateResponses checked =
        IsInstallPending(settings) ? UpdateResponses::InstallPending : RunCheckTask(settings, *installed);
    if (checked == UpdateResponses::NoUpdate || checked == UpdateResponses::CheckFailed) {
      if (manual) presenter.ShowMessage(checked == UpdateResponses::NoUpdate ? kUpToDateText : kCheckFailedText);
      return;
    }
    result = presenter.RunUpdateCheckDialog(*tasks, true);
  } else {
    result = presenter.RunUpdateCheckDialog(*tasks, false);
  }
  for (const std::string& text : tasks->UpdateNotices()) presenter.ShowMessage(text);
  if (!manual) return;
  if (result == kDialogNo) presenter.ShowMessage(kUpToDateText);
  if (result == kDialogCheckFailed) presenter.ShowMessage(kCheckFailedText);
}

}  // namespace ORV::Freshet
