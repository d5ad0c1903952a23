#pragma once
// The check-and-install flow behind the update-check dialog, free of widgets:
// the check and update tasks on workers, the state machine the dialog polls,
// and the flow the host's DoUpdateCheck calls run around the dialog.
//
// The tasks work on a copy of the settings and publish what the check found
// under UpdateStateMutex(); every task started is tracked, so that clearing
// the settings or unloading the library waits for them first.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/os/installer_backend.h"
#include "updater/freshet_settings.h"
#include "updater/installation.h"

namespace ORV::Freshet {

// The result of the check task.
enum class UpdateResponses : std::int32_t {
  NoUpdate = 0,
  UpdateAvailable = 1,
  InstallPending = 2,
  CheckFailed = 3,  // the service could not be asked or gave no usable answer
};

// How the update-check dialog ends.
inline constexpr int kDialogOk = 1;
inline constexpr int kDialogCancel = 2;
inline constexpr int kDialogYes = 6;
inline constexpr int kDialogNo = 7;
inline constexpr int kDialogCheckFailed = 3;

inline constexpr const char* kCheckingText = "Checking server for available program updates";
inline constexpr const char* kNoUpdateText = "There is no update available";
inline constexpr const char* kUpdateAvailableText = "There is an update available";
inline constexpr const char* kInstallInProgressText = "Installation is in progress";
inline constexpr const char* kDownloadingText = "Downloading updates..";
inline constexpr const char* kCheckFailedText = "Unable to check for updates";
inline constexpr const char* kUpToDateText = "Your software is up to date";

// Guards the process-wide settings while tasks publish into them.
std::mutex& UpdateStateMutex();

// Waits for every check and update task started so far.
void JoinOutstandingTasks();

// The check task's body: InstallPending when an install is pending, else the
// check's outcome. Runs on a copy of `settings` and publishes into it.
UpdateResponses RunCheckTask(FreshetSettings& settings, const OS::InstalledProducts& installed);
// The check alone (UpdateAvailable when the update list is not empty
// afterwards), on a copy of `settings`, publishing into it.
UpdateResponses CheckAndPublish(FreshetSettings& settings, const OS::InstalledProducts& installed);
// The update task's body: PrepareAndInstall for UpdateAvailable, InstallStep
// for InstallPending, false for anything else. What the step has to tell the
// user (an update it refused) goes to `notices`.
bool RunUpdateTask(FreshetSettings& settings, UpdateResponses response, Notices* notices = nullptr);

// The two tasks of the dialog; the results are polled without blocking.
class UpdateTasks {
 public:
  virtual ~UpdateTasks() = default;
  virtual void StartCheck() = 0;
  virtual std::optional<UpdateResponses> CheckResult() = 0;  // empty while the check runs
  virtual void StartUpdate(UpdateResponses response) = 0;
  virtual std::optional<bool> UpdateResult() = 0;  // empty while the update runs
  // The messages for the user of an update that has ended (an update it
  // refused); none while it runs.
  virtual Notices UpdateNotices() { return {}; }
};

// The tasks on the shared worker pool, on the process-wide settings.
std::unique_ptr<UpdateTasks> MakeWorkerTasks(FreshetSettings& settings,
                                             std::shared_ptr<const OS::InstalledProducts> installed);

// The update-check dialog's state machine. Start on initialisation, Poll on
// the 10 ms timer, Step on the 25 ms timer, Cancel from the button.
class UpdateCheckModel {
 public:
  // Asks the user whether to update; true for Yes.
  using AskFn = std::function<bool()>;
  UpdateCheckModel(UpdateTasks& tasks, bool afterCheck, AskFn ask);

  void Start();
  void Poll();
  void Cancel();
  // The progress position after one step (0 to 100, then from 0 again).
  int Step();

  bool Ended() const { return result_ != 0; }
  int Result() const { return result_; }
  const std::string& Text() const { return text_; }
  bool CancelEnabled() const { return cancelEnabled_; }
  bool Asking() const { return asking_; }

 private:
  void Act(UpdateResponses response);
  UpdateTasks& tasks_;
  bool afterCheck_;
  AskFn ask_;
  bool checkRunning_ = false;
  bool updateRunning_ = false;
  bool asking_ = false;
  bool cancelEnabled_ = true;
  int position_ = 0;
  int result_ = 0;
  std::string text_ = kCheckingText;
};

// What the flow shows: the update-check dialog, the question and messages.
class FlowPresenter {
 public:
  virtual ~FlowPresenter() = default;
  // Runs the update-check dialog modally on `tasks` and returns how it ended.
  virtual int RunUpdateCheckDialog(UpdateTasks& tasks, bool afterCheck) = 0;
  // The "update available" question; false without a window when the
  // update list is empty, else true when the user chose Yes.
  virtual bool AskUpdatesAvailable(const FreshetSettings& settings) = 0;
  virtual void ShowMessage(const std::string& text) = 0;
};

// Without a user interface: the dialog's state machine runs without a
// window, the question is answered No, messages go to ShowInformation.
class HeadlessPresenter : public FlowPresenter {
 public:
  int RunUpdateCheckDialog(UpdateTasks& tasks, bool afterCheck) override;
  bool AskUpdatesAvailable(const FreshetSettings&) override { return false; }
  void ShowMessage(const std::string& text) override;
};

// The presenter the exports use: the one installed, else the provider's
// answer, else the headless one. Installing null restores that order.
FlowPresenter& CurrentPresenter();
void SetPresenter(FlowPresenter* presenter);

// Offers a presenter, asked each time the exports need one while none is
// installed; it answers null when it cannot show windows on the calling
// thread. The shared library's dialogs register one that answers while a Qt
// application runs on that thread.
using PresenterProvider = FlowPresenter* (*)();
void SetPresenterProvider(PresenterProvider provider);

// The dialog flow: after-check runs the check first and only opens the
// dialog when something is to be done. In a manual check, "No" leads to the
// up-to-date message and a failed check to the could-not-check message.
// Whatever the update told the user (an update it refused) is shown after
// the dialog in either kind of check.
void UpdateCheckFlow(FreshetSettings& settings, std::shared_ptr<const OS::InstalledProducts> installed,
                     FlowPresenter& presenter, bool manual, bool afterCheck);

}  // namespace ORV::Freshet
