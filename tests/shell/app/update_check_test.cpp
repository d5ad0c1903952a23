// The hand-off to the update library, against a recording stand-in.
#include "shell/app/update_check.h"

#include <gtest/gtest.h>

#include "core/threading/worker_pool.h"
#include "platform/os/installer_backend.h"
#include "platform/os/registry_store.h"
#include "tests/shell/app/stub/freshet_recording_stub.h"

using namespace ORV;
using ORV::Test::FreshetCalls;

namespace {

std::vector<std::string> ExpectedCalls(const char* type, int manual) {
  return {
      "SetProduct(\"6f1c3e2a-8b4d-4f7a-9c15-2e7d0a5b3c84\")",
      "SetVersion(5,5,7,0)",
      "SetExtra(\"Tarvix5-Linux\")",
      std::string("SetUpdateType(\"") + type + "\")",
      "OverrideSettingsIfAvailable(null)",
      "CleanInstallationDirectory()",
      "DoUpdateCheckAndInstallationWithDialog(" + std::to_string(manual) + ")",
      "Clear()",
  };
}

}  // namespace

TEST(UpdateCheck, CallsTheLibraryInOrderForManualAndAutomaticChecks) {
  const struct {
    bool manual;
    const char* type;
  } cases[] = {{true, "M"}, {false, "A"}};
  for (const auto& c : cases) {
    FreshetCalls().clear();
    Shell::CheckForUpdates(c.manual);
    EXPECT_EQ(FreshetCalls(), ExpectedCalls(c.type, c.manual ? 1 : 0)) << "manual " << c.manual;
  }
  // The product id is a GUID in its 36-character text form.
  EXPECT_EQ(std::string(Shell::kUpdateProductId).size(), 36u);
}

TEST(UpdateCheck, HandsTheSharedPoolsStopEventOrNothing) {
  Threading::ExitSharedWorkerPool();
  FreshetCalls().clear();
  Shell::CheckForUpdates(true);
  EXPECT_EQ(ORV::Test::LastFreshetHandle(), nullptr) << "no pool, no handle";

  const auto pool = Threading::SharedWorkerPool();
  Shell::CheckForUpdates(false);
  EXPECT_EQ(ORV::Test::LastFreshetHandle(), pool->QuitEvent().get());
  EXPECT_TRUE(Threading::ExitSharedWorkerPool());
}

// The check compares the service's offers with the installed products; the
// program is one of them, at its own version, so an offer of a newer version
// newer than it is listed.
TEST(UpdateCheck, RecordsTheProgramAsInstalledAtItsVersion) {
  OS::RegistryStore store;
  OS::RegistryStore::SetUserStoreForTesting(&store);
  Shell::CheckForUpdates(false);
  Shell::CheckForUpdates(true);
  OS::RegistryStore::SetUserStoreForTesting(nullptr);
  const auto products = OS::RegistryInstalledProducts(store).Enumerate();
  ASSERT_EQ(products.size(), 1u) << "recorded once, however often the check runs";
  EXPECT_EQ(products[0].productName, "Tarvix 5");
  EXPECT_EQ(products[0].productCode, std::string("{") + Shell::kUpdateProductId + "}");
  EXPECT_EQ(products[0].versionString, "5.5.7.0");
}
