#include "updater_fixture.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "platform/os/folders.h"
#include "updater/settings_override.h"
#include "updater/update_files.h"

namespace ORV::Test {

std::string SoapReply(const std::string& updates) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
         "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\">"
         "<soap:Body><GetAvailableUpdatesWithUpdaterVersionResponse xmlns=\"http://updates.test/\">"
         "<GetAvailableUpdatesWithUpdaterVersionResult>" +
         updates +
         "</GetAvailableUpdatesWithUpdaterVersionResult></GetAvailableUpdatesWithUpdaterVersionResponse>"
         "</soap:Body></soap:Envelope>";
}

std::string UpdateElement(const Freshet::FreshetUpdate& u) {
  std::string x = "<Updates><productId>" + u.productId + "</productId><date>" + u.date + "</date><description>" +
                  u.description + "</description><productName>" + u.productName + "</productName>" +
                  "<windowsInstallerId>" + u.windowsInstallerId + "</windowsInstallerId><version><major>" +
                  std::to_string(u.major) + "</major><minor>" + std::to_string(u.minor) + "</minor><revision>" +
                  std::to_string(u.revision) + "</revision><build>" + std::to_string(u.build) +
                  "</build></version><url>";
  for (const auto& f : u.files)
    x += "<UpdateFile><url>" + f.url + "</url><localName>" + f.localName + "</localName></UpdateFile>";
  return x + "</url></Updates>";
}

Freshet::FreshetUpdate MakeUpdate(std::string name, int major, int minor, int revision, int build,
                                  std::vector<Freshet::FreshetUpdateFile> files) {
  Freshet::FreshetUpdate u;
  u.productName = std::move(name);
  u.productId = "{" + u.productName + "}";
  u.major = major;
  u.minor = minor;
  u.revision = revision;
  u.build = build;
  u.files = std::move(files);
  return u;
}

const Freshet::SigningKeyPair& TestKeys() {
  static const Freshet::SigningKeyPair keys = Freshet::GenerateSigningKeyPair();
  return keys;
}

std::string Signed(const Freshet::FreshetUpdate& u, const std::string& localName, const std::string& payload,
                   const std::string& privateKeyPem) {
  Freshet::SignedPackageInfo info;
  info.product = u.productName;
  info.major = u.major;
  info.minor = u.minor;
  info.revision = u.revision;
  info.build = u.build;
  info.file = localName;
  std::string reason;
  const std::string out = Freshet::SignPackage(privateKeyPem, info, payload, &reason);
  EXPECT_FALSE(out.empty()) << reason;
  return out;
}

Freshet::PackageVerifier TestVerifier(std::shared_ptr<const OS::InstalledProducts> installed) {
  return Freshet::PackageVerifier({*Freshet::ParsePublicKey(TestKeys().publicKeyPem)}, std::move(installed));
}

HttpReply SignedReply(const Freshet::FreshetUpdate& u, const std::string& localName, const std::string& payload) {
  return {200, Signed(u, localName, payload), "application/octet-stream"};
}

void ExpectTransferFailureLogged(const std::function<void()>& transfer) {
  MemoryEventLog events;
  ::testing::internal::CaptureStderr();
  transfer();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  const std::vector<OS::EventRecord> entries = events.backend().Entries();
  ASSERT_EQ(entries.size(), 1u) << events.Dump();
  EXPECT_EQ(entries[0].type, OS::kEventError);
  ASSERT_FALSE(entries[0].texts.empty());
  const std::string head = "curl_easy_perform() failed: ";
  EXPECT_EQ(entries[0].texts[0].substr(0, head.size()), head);
  EXPECT_GT(entries[0].texts[0].size(), head.size()) << "the library's text follows";
}

UpdaterTest::UpdaterTest() {
  settings.productId = kProductId;
  settings.extra = "extra";
  settings.updateType = "M";
  settings.serverUrl = server.Url("/svc");
  settings.updateKey = TestKeys().publicKeyPem;
  const std::string override = Freshet::DefaultSettingsOverridePath();
  EXPECT_TRUE(OS::EnsureDir(override.substr(0, override.rfind('/'))));
  WriteText(override, "<Freshet><Server><PublicKey>" + TestKeys().publicKeyPem + "</PublicKey></Server></Freshet>");
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteText(const std::string& path, const std::string& text, unsigned mode) {
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
  }
  ::chmod(path.c_str(), mode);
}

int StatusCounter(const std::string& folder, const char* attribute) {
  pugi::xml_document doc;
  int value = -1;
  if (!Freshet::LoadXmlFile(folder + "/" + Freshet::kStatusFile, doc) || !Freshet::ReadCounter(doc, attribute, value))
    return -1;
  return value;
}

std::vector<std::string> OwnHeaders(const HttpRequest& r) {
  std::vector<std::string> out;
  for (const auto& h : r.headers)
    if (h.rfind("Accept:", 0) != 0 && h.rfind("Content-Length:", 0) != 0) out.push_back(h);
  return out;
}

}  // namespace ORV::Test
