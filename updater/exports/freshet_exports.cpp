// The plain functions the shared library exports under undecorated names.
#include <memory>
#include <mutex>

#include "core/threading/event.h"
#include "platform/os/installer_backend.h"
#include "platform/os/registry_store.h"
#include "updater/exports/freshet.h"
#include "updater/installation.h"
#include "updater/settings_override.h"
#include "updater/update_flow.h"
#include "updater/update_query.h"

#define FRESHET_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using namespace ORV::Freshet;

FreshetSettings& Settings() { return ProcessSettings(); }

std::string Text(const char* text) { return text ? text : ""; }

void Set(std::string FreshetSettings::*field, const char* value) {
  std::lock_guard lock(UpdateStateMutex());
  Settings().*field = Text(value);
}

// The products installed on this machine, as registered by our packaging.
std::shared_ptr<const ORV::OS::InstalledProducts> Installed() {
  return std::make_shared<ORV::OS::RegistryInstalledProducts>(ORV::OS::RegistryStore::User());
}

const ORV::Utils::Sync::Event* CancelEvent(void* cancel) { return static_cast<const ORV::Utils::Sync::Event*>(cancel); }

// Shows what a step refused, on the caller's thread.
void Show(const Notices& notices) {
  for (const std::string& text : notices) CurrentPresenter().ShowMessage(text);
}

}  // namespace

FRESHET_EXPORT int FreshetsFilterDllMsg(void*) { return 0; }
FRESHET_EXPORT void FreshetsProcessDllIdle() {}

FRESHET_EXPORT void Freshets_SetProduct(const char* productId) { Set(&FreshetSettings::productId, productId); }
FRESHET_EXPORT void Freshets_SetVersion(int, int, int, int) {}
FRESHET_EXPORT void Freshets_SetExtra(const char* extra) { Set(&FreshetSettings::extra, extra); }
FRESHET_EXPORT void Freshets_SetUpdateType(const char* type) { Set(&FreshetSettings::updateType, type); }
FRESHET_EXPORT void Freshets_SetServerUrl(const char* url) { Set(&FreshetSettings::serverUrl, url); }
FRESHET_EXPORT void Freshets_SetUiLevel(int level) {
  std::lock_guard lock(UpdateStateMutex());
  Settings().uiLevel = level;
}

FRESHET_EXPORT void Freshets_OverrideSettingsIfAvailable(const char* path) {
  std::lock_guard lock(UpdateStateMutex());
  ReadSettingsOverride(Settings(), Text(path));
}

FRESHET_EXPORT void Freshets_GetFreshetVersion(int* major, int* minor, int* revision) {
  if (major) *major = 1;
  if (minor) *minor = 0;
  if (revision) *revision = 2;
}

FRESHET_EXPORT int Freshets_CheckServerForUpdates() {
  return CheckAndPublish(Settings(), *Installed()) == UpdateResponses::UpdateAvailable ? 1 : 0;
}

FRESHET_EXPORT void Freshets_ShowNoUpdatesAvailableMessage() { CurrentPresenter().ShowMessage(kUpToDateText); }

FRESHET_EXPORT int Freshets_ShowUpdatesAvailableDialog() {
  return CurrentPresenter().AskUpdatesAvailable(Settings()) ? 1 : 0;
}

FRESHET_EXPORT int Freshets_DownloadUpdates(int, void* cancel) {
  Notices notices;
  const bool ok = PrepareAndInstall(Settings(), CancelEvent(cancel), DefaultHandOffFiles(), &notices);
  Show(notices);
  return ok ? 1 : 0;
}

FRESHET_EXPORT int Freshets_InstallUpdates(int, void* cancel) {
  Notices notices;
  const int result = InstallStep(Settings(), CancelEvent(cancel), DefaultHandOffFiles(), &notices);
  Show(notices);
  return result;
}

FRESHET_EXPORT int Freshets_InstallCheckOnStart() { return IsInstallPending(Settings()) ? 1 : 0; }

FRESHET_EXPORT void Freshets_DoUpdateCheck() {
  if (IsInstallPending(Settings())) return;
  const auto installed = Installed();
  if (CheckAndPublish(Settings(), *installed) != UpdateResponses::UpdateAvailable) return;
  UpdateCheckFlow(Settings(), installed, CurrentPresenter(), false, false);
}

FRESHET_EXPORT void Freshets_DoUpdateCheckAndInstallationWithDialog(void*, int manual) {
  UpdateCheckFlow(Settings(), Installed(), CurrentPresenter(), manual != 0, false);
}

FRESHET_EXPORT void Freshets_DoUpdateCheckAndInstallationWithDialogAfterUpdateCheck(void*, int manual) {
  UpdateCheckFlow(Settings(), Installed(), CurrentPresenter(), manual != 0, true);
}

FRESHET_EXPORT int Freshets_CleanInstallationDirectory() {
  JoinOutstandingTasks();
  return CleanInstallationDirectory(Settings()) ? 1 : 0;
}

// The installer side: run by the installer program in the working folder. It
// trusts the keys installed with the program and a test service's key from
// the default SettingsOverride.xml, never a key the working folder holds.
FRESHET_EXPORT int Freshets_HandleInstaller() {
  ORV::OS::CommandPackageInstaller installer;
  return HandleInstaller(installer, InstalledPackageVerifier(ReadOverridePublicKey()), ".");
}

// Waits for the tasks a cancelled dialog left running, then forgets the
// update list and the product's strings.
FRESHET_EXPORT void Freshets_Clear() {
  JoinOutstandingTasks();
  std::lock_guard lock(UpdateStateMutex());
  FreshetSettings& s = Settings();
  s.updates.clear();
  s.productId.clear();
  s.extra.clear();
  s.updateType.clear();
}
