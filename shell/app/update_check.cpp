#include "shell/app/update_check.h"

#include <memory>
#include <string>

#include "core/threading/worker_pool.h"
#include "platform/os/installer_backend.h"
#include "platform/os/registry_store.h"
#include "updater/exports/freshet.h"

namespace ORV::Shell {

void CheckForUpdates(bool manual) {
  OS::RegisterInstalledProduct(OS::RegistryStore::User(), "{" + std::string(kUpdateProductId) + "}", kUpdateProductName,
                               std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
                                   std::to_string(kVersionRevision) + "." + std::to_string(kVersionBuild));
  const std::string extra = kUpdateExtra;
  Freshets_SetProduct(kUpdateProductId);
  Freshets_SetVersion(kVersionMajor, kVersionMinor, kVersionRevision, kVersionBuild);
  Freshets_SetExtra(extra.c_str());
  Freshets_SetUpdateType(manual ? "M" : "A");
  Freshets_OverrideSettingsIfAvailable(nullptr);
  Freshets_CleanInstallationDirectory();
  // The library takes a handle it does not use; the program gives it the
  // stop event of the shared worker pool, or nothing when there is no pool.
  const std::shared_ptr<Threading::WorkerPool> pool = Threading::ExistingSharedWorkerPool();
  const std::shared_ptr<Utils::Sync::Event> stop = pool ? pool->QuitEvent() : nullptr;
  Freshets_DoUpdateCheckAndInstallationWithDialog(stop.get(), manual ? 1 : 0);
  Freshets_Clear();
}

}  // namespace ORV::Shell
