#pragma once
// Shared pieces of the update library's tests: fakes of the platform's
// installer, SOAP replies, and a fixture with a sandboxed home and a
// loopback update service.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "loopback_server.h"
#include "platform/os/installer_backend.h"
#include "tests/support/test_support.h"
#include "updater/freshet_settings.h"
#include "updater/signing/package_signing.h"

namespace ORV::Test {

class FakeInstalledProducts : public OS::InstalledProducts {
 public:
  std::vector<OS::InstalledProductEntry> entries;
  std::vector<OS::InstalledProductEntry> Enumerate() const override { return entries; }
  void Add(std::string name, std::string version) {
    entries.push_back({"{" + std::to_string(entries.size()) + "}", std::move(name), std::move(version)});
  }
};

class FakePackageInstaller : public OS::PackageInstaller {
 public:
  // Result per package file name; unlisted packages install with 0.
  std::map<std::string, int> results;
  std::vector<std::pair<std::string, std::string>> calls;  // (path, properties)
  std::function<void(const std::string& path)> onInstall;
  int InstallPackage(const std::string& path, const std::string& properties) override {
    calls.emplace_back(path, properties);
    if (onInstall) onInstall(path);
    const std::string name = path.substr(path.rfind('/') + 1);
    const auto it = results.find(name);
    return it == results.end() ? 0 : it->second;
  }
};

// The service's reply around the given "Updates" elements.
std::string SoapReply(const std::string& updates);
// One "Updates" element for a record.
std::string UpdateElement(const Freshet::FreshetUpdate& u);
// A record with a name, a version and files ({url, localName} pairs).
Freshet::FreshetUpdate MakeUpdate(std::string name, int major, int minor, int revision, int build,
                                  std::vector<Freshet::FreshetUpdateFile> files = {});

// The test service's signing key pair, made once per process.
const Freshet::SigningKeyPair& TestKeys();
// `payload` signed as the file `localName` of `u`, with the test service's
// key unless another private key is given.
std::string Signed(const Freshet::FreshetUpdate& u, const std::string& localName, const std::string& payload,
                   const std::string& privateKeyPem = TestKeys().privateKeyPem);
// A verifier that trusts the test service's key, comparing versions with
// `installed` when it is given.
Freshet::PackageVerifier TestVerifier(std::shared_ptr<const OS::InstalledProducts> installed = nullptr);
// The reply of the service's download of such a package.
HttpReply SignedReply(const Freshet::FreshetUpdate& u, const std::string& localName, const std::string& payload);

// The text of a file ("" when it cannot be read).
std::string ReadText(const std::string& path);
void WriteText(const std::string& path, const std::string& text, unsigned mode = 0600);
// A counter of the folder's InstallationStatus.xml; -1 when it cannot be read.
int StatusCounter(const std::string& folder, const char* attribute);
// Every header line but the ones libcurl adds itself (Accept, Content-Length).
std::vector<std::string> OwnHeaders(const HttpRequest& r);

inline constexpr const char* kProductId = "{6F1B2A40-3C5D-4E7F-8A9B-0C1D2E3F4A5B}";

// Runs `transfer`, which cannot reach the service, and checks where its
// failure went: one error entry "curl_easy_perform() failed: " and the HTTP
// library's text in the event log, and nothing on standard error (a user
// without a network sees no noise on the terminal at every start).
void ExpectTransferFailureLogged(const std::function<void()>& transfer);

// A sandboxed home and the loopback service, whose packages are signed with
// TestKeys(): the settings trust its key, and so does the default
// SettingsOverride.xml, which the installer program reads.
class UpdaterTest : public ::testing::Test {
 protected:
  UpdaterTest();
  std::string Folder() const { return Freshet::InstallationFolder(settings); }

  SandboxedHome home;
  LoopbackServer server;
  Freshet::FreshetSettings settings;
};

}  // namespace ORV::Test
