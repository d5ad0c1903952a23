// The exported C interface: the names the real library exports, the setters
// and the flow through the exports, and SettingsOverride.xml.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "platform/os/installer_backend.h"
#include "platform/os/registry_store.h"
#include "updater/exports/freshet.h"
#include "updater/installation.h"
#include "updater/settings_override.h"
#include "updater/update_flow.h"
#include "updater/update_query.h"
#include "updater_fixture.h"

namespace ORV::Test {
namespace {

using Freshet::FreshetUpdate;
using Freshet::ProcessSettings;

std::set<std::string> ExportedNames(const std::string& library) {
  std::set<std::string> names;
  const std::string command = "nm -D --defined-only '" + library + "'";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return names;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    const std::size_t space = text.rfind(' ');
    const std::string type = space == std::string::npos || space < 1 ? "" : text.substr(space - 1, 1);
    if (type == "T") names.insert(text.substr(space + 1));
  }
  ::pclose(pipe);
  return names;
}

TEST(FreshetExports, TheLibraryExportsExactlyTheTwentyTwoFunctionsWithCLinkage) {
  const std::set<std::string> expected = {
      "FreshetsFilterDllMsg",
      "FreshetsProcessDllIdle",
      "Freshets_SetProduct",
      "Freshets_SetVersion",
      "Freshets_SetExtra",
      "Freshets_SetUpdateType",
      "Freshets_SetServerUrl",
      "Freshets_OverrideSettingsIfAvailable",
      "Freshets_GetFreshetVersion",
      "Freshets_CheckServerForUpdates",
      "Freshets_ShowNoUpdatesAvailableMessage",
      "Freshets_ShowUpdatesAvailableDialog",
      "Freshets_DownloadUpdates",
      "Freshets_InstallUpdates",
      "Freshets_InstallCheckOnStart",
      "Freshets_SetUiLevel",
      "Freshets_DoUpdateCheck",
      "Freshets_DoUpdateCheckAndInstallationWithDialog",
      "Freshets_DoUpdateCheckAndInstallationWithDialogAfterUpdateCheck",
      "Freshets_CleanInstallationDirectory",
      "Freshets_HandleInstaller",
      "Freshets_Clear",
  };
  EXPECT_EQ(ExportedNames(ORV_TEST_FRESHET_LIBRARY), expected);
}

// The exports on the process-wide settings, with a sandboxed home and the
// loopback service; every test starts and ends cleared.
class ExportsTest : public UpdaterTest {
 protected:
  ExportsTest() {
    OS::RegistryStore::SetUserStoreForTesting(&registry);
    Freshets_Clear();
    Freshets_SetServerUrl("");
    Freshet::SetInformationHandler([this](const std::string& text) { shown.push_back(text); });
  }
  ~ExportsTest() override {
    Freshets_Clear();
    Freshets_SetServerUrl("");
    Freshet::SetInformationHandler({});
    OS::RegistryStore::SetUserStoreForTesting(nullptr);
  }
  std::string OverrideFile(const std::string& text) {
    const std::string path = home.root() + "/override.xml";
    WriteText(path, text);
    return path;
  }
  OS::RegistryStore registry{home.root() + "/registry.dat"};
  std::vector<std::string> shown;
};

TEST_F(ExportsTest, SettersFillTheSettingsAndClearKeepsUrlUiLevelAndOwnProduct) {
  Freshets_SetProduct(kProductId);
  Freshets_SetExtra("x");
  Freshets_SetUpdateType("M");
  Freshets_SetServerUrl("http://127.0.0.1:1/a");
  Freshets_SetUiLevel(1);
  ProcessSettings().updates.push_back(MakeUpdate("P", 1, 0, 0, 0));
  EXPECT_EQ(ProcessSettings().productId, kProductId);
  EXPECT_EQ(Freshet::ServiceUrl(ProcessSettings()), "http://127.0.0.1:1/a");

  Freshets_Clear();
  EXPECT_TRUE(ProcessSettings().productId.empty());
  EXPECT_TRUE(ProcessSettings().extra.empty());
  EXPECT_TRUE(ProcessSettings().updateType.empty());
  EXPECT_TRUE(ProcessSettings().updates.empty());
  EXPECT_EQ(ProcessSettings().serverUrl, "http://127.0.0.1:1/a");
  EXPECT_EQ(ProcessSettings().uiLevel, 1);

  Freshets_SetServerUrl("");
  EXPECT_EQ(Freshet::ServiceUrl(ProcessSettings()), Freshet::kBuiltInServiceUrl);
  Freshets_SetServerUrl(nullptr);
  EXPECT_EQ(Freshet::ServiceUrl(ProcessSettings()), Freshet::kBuiltInServiceUrl);
  Freshets_SetUiLevel(0);
}

TEST_F(ExportsTest, VersionIsWrittenOnlyToThePointersGiven) {
  int b = -1;
  Freshets_GetFreshetVersion(nullptr, &b, nullptr);
  EXPECT_EQ(b, 0);
  int a = -1, c = -1;
  Freshets_GetFreshetVersion(&a, &b, &c);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(c, 2);
}

TEST_F(ExportsTest, WithoutProductIdNothingIsPendingNothingIsDeletedAndNoOverrideIsRead) {
  const std::string file = OverrideFile("<Freshet><Server><Url>http://elsewhere/</Url></Server></Freshet>");
  EXPECT_EQ(Freshets_InstallCheckOnStart(), 0);
  EXPECT_EQ(Freshets_CleanInstallationDirectory(), 0);
  Freshets_OverrideSettingsIfAvailable(file.c_str());
  EXPECT_TRUE(ProcessSettings().serverUrl.empty());
}

TEST_F(ExportsTest, CheckThroughTheExportsAsksTheConfiguredService) {
  ASSERT_TRUE(OS::RegisterInstalledProduct(OS::RegistryStore::User(), "{1}", "Tarvix 5", "5.5.7"));
  server.SetDefault({200, SoapReply(UpdateElement(MakeUpdate("Tarvix 5", 5, 6, 0, 0)))});
  Freshets_SetProduct(kProductId);
  Freshets_SetServerUrl(server.Url("/svc").c_str());
  EXPECT_EQ(Freshets_CheckServerForUpdates(), 1);
  EXPECT_EQ(Freshets_CheckServerForUpdates(), 1);
  EXPECT_EQ(ProcessSettings().updates.size(), 1u) << "a second check replaces the list";
  EXPECT_EQ(server.Requests().size(), 2u);
}

TEST_F(ExportsTest, ManualCheckThatCannotReachTheServiceSaysSoAndNotUpToDate) {
  ASSERT_TRUE(OS::RegisterInstalledProduct(OS::RegistryStore::User(), "{1}", "Tarvix 5", "5.5.7"));
  RefusingPort refusing;
  Freshets_SetProduct(kProductId);
  Freshets_SetServerUrl(refusing.Url("/svc").c_str());
  Freshets_DoUpdateCheckAndInstallationWithDialogAfterUpdateCheck(nullptr, 1);
  Freshets_DoUpdateCheckAndInstallationWithDialog(nullptr, 1);
  EXPECT_EQ(shown, (std::vector<std::string>{Freshet::kCheckFailedText, Freshet::kCheckFailedText}));

  shown.clear();
  Freshets_DoUpdateCheckAndInstallationWithDialog(nullptr, 0);
  EXPECT_TRUE(shown.empty()) << "an automatic check stays silent";

  server.SetDefault({200, SoapReply("")});
  Freshets_SetServerUrl(server.Url("/svc").c_str());
  Freshets_DoUpdateCheckAndInstallationWithDialog(nullptr, 1);
  EXPECT_EQ(shown, std::vector<std::string>{Freshet::kUpToDateText});
}

// Called by a host without the dialogs, the download tells of an update that
// could not be verified itself.
TEST_F(ExportsTest, DownloadThroughTheExportTellsOfAnUpdateItRefused) {
  Freshets_SetProduct(kProductId);
  Freshets_SetServerUrl(server.Url("/svc").c_str());
  const FreshetUpdate offered = MakeUpdate("Drivers", 2, 1, 0, 0, {{"u/drv", "drv.pkg"}});
  ProcessSettings().updates = {offered};
  server.Queue({200, Signed(offered, "drv.pkg", "#!/bin/sh\n", Freshet::GenerateSigningKeyPair().privateKeyPem),
                "application/octet-stream"});
  EXPECT_EQ(Freshets_DownloadUpdates(0, nullptr), 0);
  EXPECT_EQ(shown, std::vector<std::string>{Freshet::UnverifiedUpdateText(offered)});
  EXPECT_EQ(Freshets_InstallCheckOnStart(), 0);
}

struct OverrideCase {
  const char* name;
  std::string xml;
  const char* productId;
  const char* serverUrl;
  const char* extra;
  std::string updateKey = {};
};

TEST_F(ExportsTest, SettingsOverrideFile) {
  const std::string matching = std::string("<Product id=\"") + kProductId + "\">";
  const OverrideCase cases[] = {
      {"matching product replaces id, url and extra",
       ("<Freshet><Server><Url>http://server/</Url></Server>" + matching +
        "<Override><Id>{NEW}</Id><Url>http://product/</Url><Extra>E2</Extra></Override></Product></Freshet>"),
       "{NEW}", "http://product/", "E2"},
      {"other product changes only the server url",
       "<Freshet><Server><Url>http://server/</Url></Server><Product id=\"{OTHER}\"><Override><Id>{NEW}</Id>"
       "<Url>http://product/</Url><Extra>E2</Extra></Override></Product></Freshet>",
       kProductId, "http://server/", "extra"},
      {"empty texts change nothing",
       ("<Freshet><Server><Url/></Server>" + matching + "<Override><Id/><Url/><Extra/></Override></Product></Freshet>"),
       kProductId, "http://start/", "extra"},
      {"malformed file is ignored", "<Freshet><Server><Url>http://server/</Url></Server>", kProductId, "http://start/",
       "extra"},
      {"other document element is ignored", "<Settings><Server><Url>http://server/</Url></Server></Settings>",
       kProductId, "http://start/", "extra"},
      {"a test service's key",
       "<Freshet><Server><Url>http://server/</Url><PublicKey>" + TestKeys().publicKeyPem +
           "</PublicKey></Server></Freshet>",
       kProductId, "http://server/", "extra", TestKeys().publicKeyPem},
      {"id with path characters is refused",
       (std::string("<Freshet>") + matching +
        "<Override><Id>../../victim</Id><Url>http://product/</Url></Override></Product></Freshet>"),
       kProductId, "http://product/", "extra"},
  };
  for (const OverrideCase& c : cases) {
    SCOPED_TRACE(c.name);
    Freshet::FreshetSettings s;
    s.productId = kProductId;
    s.extra = "extra";
    s.serverUrl = "http://start/";
    Freshet::ReadSettingsOverride(s, OverrideFile(c.xml));
    EXPECT_EQ(s.productId, c.productId);
    EXPECT_EQ(s.serverUrl, c.serverUrl);
    EXPECT_EQ(s.extra, c.extra);
    EXPECT_EQ(s.updateKey, c.updateKey);
    EXPECT_EQ(Freshet::ReadOverridePublicKey(OverrideFile(c.xml)), c.updateKey) << "whatever the product";
  }
}

TEST_F(ExportsTest, SettingsOverrideIsReadFromTheDefaultPlaceThroughTheExport) {
  const std::string path = Freshet::DefaultSettingsOverridePath();
  ASSERT_EQ(path.rfind(home.root(), 0), 0u) << path;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  WriteText(path, "<Freshet><Server><Url>http://server/</Url></Server></Freshet>");
  Freshets_SetProduct(kProductId);
  Freshets_OverrideSettingsIfAvailable(nullptr);
  EXPECT_EQ(ProcessSettings().serverUrl, "http://server/");
}

}  // namespace
}  // namespace ORV::Test
