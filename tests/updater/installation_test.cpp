// Downloads into the working folder, the state files, the working folder's
// safety, and the installer side with a fake package installer.
#include "updater/installation.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/os/folders.h"
#include "updater/update_files.h"
#include "updater/update_query.h"
#include "updater_fixture.h"

namespace ORV::Test {
namespace {

namespace fs = std::filesystem;
using Freshet::FreshetUpdate;
using Freshet::FreshetUpdateFile;

// Hand-off sources that do not exist: the installer never starts, so the
// working folder stays for inspection.
const Freshet::HandOffFiles kNoInstaller{"/nonexistent/libFreshet.so", "/nonexistent/orv-installer"};

std::string StatusXml(int downloadFile, int installFile) {
  return "<?xml version=\"1.0\"?>\n<Status DownloadFile=\"" + std::to_string(downloadFile) + "\" InstallFile=\"" +
         std::to_string(installFile) + "\" />\n";
}

class InstallationTest : public UpdaterTest {
 protected:
  // A working folder holding the update list and a status file.
  void MakeFolder(const std::vector<FreshetUpdate>& updates, const std::string& status) {
    ASSERT_TRUE(OS::EnsurePrivateDir(Folder()));
    ASSERT_TRUE(Freshet::WriteUpdateList(Folder() + "/" + Freshet::kUpdateListFile, updates));
    WriteText(Folder() + "/" + Freshet::kStatusFile, status);
  }
  std::vector<std::string> RequestedFiles() const {
    std::vector<std::string> out;
    for (const auto& r : server.Requests()) out.push_back(r.body);
    return out;
  }
};

TEST_F(InstallationTest, DownloadRequestIsSentByteForByte) {
  const std::string content("MZ\0\x01\xFFpackage", 12);
  server.Queue({200, content, "application/octet-stream"});
  TempDir dir;
  const int fd = ::open((dir / "p").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(Freshet::DownloadPackageFile(settings, "files/v 5.6 (x64)/Set+up~_-.pkg?a=1&b=\xC3\xBC", fd), 0);
  ::close(fd);
  EXPECT_EQ(ReadText(dir / "p"), content);

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].requestLine, "POST /svc/Download HTTP/1.1");
  EXPECT_EQ(OwnHeaders(requests[0]), (std::vector<std::string>{"Host: localhost", "Connection: close",
                                                               "Content-Type: application/x-www-form-urlencoded"}));
  EXPECT_EQ(requests[0].body, "filename=files%2Fv%205.6%20%28x64%29%2FSet%2Bup~_-.pkg%3Fa%3D1%26b%3D%C3%BC");
}

TEST_F(InstallationTest, DownloadFailuresAreReportedAndErrorBodiesNeverWritten) {
  HttpReply cut{200, "partial", "application/octet-stream"};
  cut.missingBytes = 5;
  HttpReply unannounced{200, std::string(17, 'x'), "application/octet-stream"};
  unannounced.announceLength = false;
  struct Case {
    const char* what;
    HttpReply reply;
    int expected;
    const char* written;
  };
  const Case cases[] = {
      {"complete", {200, "0123456789abcdef", "application/octet-stream"}, Freshet::kDownloadOk, "0123456789abcdef"},
      {"empty file", {200, "", "application/octet-stream"}, Freshet::kDownloadOk, ""},
      {"not found", {404, "<html>Not Found</html>", "text/html"}, Freshet::kDownloadHttpError, ""},
      {"server error without a body", {500, ""}, Freshet::kDownloadHttpError, ""},
      {"announced too large", {200, std::string(17, 'x'), "application/octet-stream"}, Freshet::kDownloadTooLarge, ""},
      {"unannounced too large", unannounced, Freshet::kDownloadTooLarge, ""},
      {"cut short", cut, Freshet::kDownloadFailed, "partial"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    server.Queue(c.reply);
    const int fd = ::open((dir / "p").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(Freshet::DownloadPackageFile(settings, "f", fd, 16), c.expected) << c.what;
    ::close(fd);
    EXPECT_EQ(ReadText(dir / "p"), c.written) << c.what;
  }
  RefusingPort refusing;
  settings.serverUrl = refusing.Url();
  const int fd = ::open((dir / "p").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ExpectTransferFailureLogged(
      [&] { EXPECT_EQ(Freshet::DownloadPackageFile(settings, "f", fd), Freshet::kDownloadFailed); });
  ::close(fd);
}

TEST_F(InstallationTest, DownloadsResumeFromTheRecordedFile) {
  const std::vector<FreshetUpdate> updates = {
      MakeUpdate("A", 1, 0, 0, 0, {{"u/a1", "a1.pkg"}, {"u/a2", "a2.pkg"}}),
      MakeUpdate("B", 1, 0, 0, 0, {{"u/b1", "b1.pkg"}}),
  };
  MakeFolder(updates, StatusXml(2, 0));
  WriteText(Folder() + "/a1.pkg", Signed(updates[0], "a1.pkg", "first"));
  WriteText(Folder() + "/a2.pkg", Signed(updates[0], "a2.pkg", "second"));
  server.Queue(SignedReply(updates[1], "b1.pkg", "third"));

  EXPECT_EQ(Freshet::InstallStep(settings, nullptr, kNoInstaller), 1);
  EXPECT_EQ(RequestedFiles(), std::vector<std::string>{"filename=u%2Fb1"});
  EXPECT_EQ(ReadText(Folder() + "/b1.pkg"), Signed(updates[1], "b1.pkg", "third"));
  EXPECT_EQ(ReadText(Folder() + "/a1.pkg"), Signed(updates[0], "a1.pkg", "first")) << "not downloaded again";
  EXPECT_EQ(StatusCounter(Folder(), "DownloadFile"), 3);
  EXPECT_EQ(StatusCounter(Folder(), "InstallFile"), 0);
  EXPECT_TRUE(Freshet::IsInstallPending(settings)) << "an installer that did not start leaves the update pending";
}

TEST_F(InstallationTest, FiveFailedAttemptsEndTheStepWithTheTargetDeleted) {
  HttpReply cut{200, "partial", "application/octet-stream"};
  cut.missingBytes = 100;
  for (const HttpReply& r : {cut, HttpReply{404, "no"}, HttpReply{500, ""}, cut, HttpReply{404, "no"}}) server.Queue(r);
  server.SetDefault({200, "never asked", "application/octet-stream"});
  MakeFolder({MakeUpdate("A", 1, 0, 0, 0, {{"u/a1", "a1.pkg"}, {"u/a2", "a2.pkg"}, {"u/a3", "a3.pkg"}})},
             StatusXml(1, 0));

  EXPECT_EQ(Freshet::InstallStep(settings, nullptr, kNoInstaller), 0);
  EXPECT_EQ(RequestedFiles(), std::vector<std::string>(5, "filename=u%2Fa2"));
  EXPECT_FALSE(OS::PathExists(Folder() + "/a2.pkg"));
  EXPECT_FALSE(OS::PathExists(Folder() + "/a3.pkg"));
  EXPECT_EQ(StatusCounter(Folder(), "DownloadFile"), 1);
  EXPECT_FALSE(OS::PathExists(Folder() + "/" + Freshet::kInstallerProgram)) << "no installer after a failed download";
}

TEST_F(InstallationTest, FileNamesThatAreNotBareNamesAreRefused) {
  TempDir outside;
  const char* const names[] = {"../escaped.pkg",
                               "/etc/x",
                               "",
                               ".",
                               "..",
                               "sub/x.pkg",
                               "a\\b.pkg",
                               "UpdateList.xml",
                               "InstallationStatus.xml",
                               "libFreshet.so",
                               "orv-installer"};
  for (const char* name : names) {
    Freshet::CleanInstallationDirectory(settings);
    const std::vector<FreshetUpdate> updates = {MakeUpdate("A", 1, 0, 0, 0, {{"u/ok", "ok.pkg"}, {"u/bad", name}})};
    MakeFolder(updates, StatusXml(0, 0));
    EXPECT_EQ(Freshet::InstallStep(settings, nullptr, kNoInstaller), 0) << name;
    EXPECT_TRUE(server.Requests().empty()) << name;
    EXPECT_FALSE(OS::PathExists(Folder())) << name << ": the refused list is removed";
    EXPECT_FALSE(Freshet::IsInstallPending(settings)) << name;

    // The installer side refuses the same list on its own, before it runs
    // anything of it.
    FakePackageInstaller installer;
    MakeFolder(updates, StatusXml(2, 0));
    WriteText(Folder() + "/ok.pkg", Signed(updates[0], "ok.pkg", "#!/bin/sh\n"));
    EXPECT_EQ(Freshet::HandleInstaller(installer, TestVerifier(), Folder()), Freshet::kInstallerPackageFailed) << name;
    EXPECT_TRUE(installer.calls.empty()) << name << ": nothing of a list with a bad name is installed";
    EXPECT_EQ(StatusCounter(Folder(), "InstallFile"), 0) << name;
  }
  EXPECT_FALSE(OS::PathExists(OS::ProductStateDir() + "/Updates/escaped.pkg"));
  EXPECT_TRUE(OS::IsBareFileName("setup-5.6.pkg"));
}

// A refused list does not block the updates offered after it.
TEST_F(InstallationTest, AGoodListIsTakenAfterARefusedOne) {
  settings.updates = {MakeUpdate("A", 1, 0, 0, 0, {{"u/ok", "ok.pkg"}, {"u/bad", "../escaped.pkg"}})};
  EXPECT_FALSE(Freshet::PrepareAndInstall(settings, nullptr, kNoInstaller));
  EXPECT_FALSE(OS::PathExists(Folder()));
  EXPECT_FALSE(Freshet::IsInstallPending(settings));

  settings.updates = {MakeUpdate("B", 1, 0, 0, 0, {{"u/b", "b.pkg"}})};
  server.Queue(SignedReply(settings.updates[0], "b.pkg", "package"));
  EXPECT_TRUE(Freshet::PrepareAndInstall(settings, nullptr, kNoInstaller));
  EXPECT_EQ(RequestedFiles(), std::vector<std::string>{"filename=u%2Fb"});
  EXPECT_EQ(ReadText(Folder() + "/b.pkg"), Signed(settings.updates[0], "b.pkg", "package"));
  EXPECT_TRUE(Freshet::IsInstallPending(settings));
}

TEST_F(InstallationTest, ProductIdsThatAreNotFolderNamesAreRefused) {
  const char* const ids[] = {"a/b", "..", "../x", "x/../y", "x..y", ".", "/abs"};
  for (const char* id : ids) {
    settings.productId = id;
    settings.updates = {MakeUpdate("A", 1, 0, 0, 0, {{"u/a", "a.pkg"}})};
    EXPECT_EQ(Freshet::InstallationFolder(settings), "") << id;
    EXPECT_FALSE(Freshet::PrepareAndInstall(settings, nullptr, kNoInstaller)) << id;
    EXPECT_FALSE(Freshet::CleanInstallationDirectory(settings)) << id;
    EXPECT_EQ(Freshet::InstallStep(settings, nullptr, kNoInstaller), 1) << id;
    EXPECT_FALSE(Freshet::IsInstallPending(settings)) << id;
  }
  EXPECT_FALSE(OS::PathExists(OS::ProductStateDir())) << "nothing may be created for a refused id";
  EXPECT_TRUE(server.Requests().empty());

  settings.productId.clear();
  EXPECT_FALSE(Freshet::PrepareAndInstall(settings, nullptr, kNoInstaller));
  EXPECT_FALSE(Freshet::CleanInstallationDirectory(settings));
  EXPECT_EQ(Freshet::InstallStep(settings, nullptr, kNoInstaller), 1);
}

TEST_F(InstallationTest, PrepareWritesTheStateIntoANewPrivateFolder) {
  settings.updates = {MakeUpdate("A", 5, 6, 0, 1, {{"u/a", "a.pkg"}}), MakeUpdate("B", 2, 0, 0, 0)};
  server.SetDefault(SignedReply(settings.updates[0], "a.pkg", "package"));

  EXPECT_TRUE(Freshet::PrepareAndInstall(settings, nullptr, kNoInstaller));
  EXPECT_EQ(FileMode(Folder()), 0700u);
  EXPECT_EQ(Folder(), OS::ProductStateDir() + "/Updates/" + kProductId);
  pugi::xml_document list;
  ASSERT_TRUE(Freshet::LoadXmlFile(Folder() + "/" + Freshet::kUpdateListFile, list));
  std::vector<FreshetUpdate> read;
  Freshet::ParseUpdates(list.document_element(), read);
  EXPECT_EQ(read, settings.updates);
  EXPECT_EQ(StatusCounter(Folder(), "DownloadFile"), 1);
  EXPECT_EQ(StatusCounter(Folder(), "InstallFile"), 0);
  EXPECT_EQ(ReadText(Folder() + "/a.pkg"), Signed(settings.updates[0], "a.pkg", "package"));

  // A pending install is never overwritten by a new run.
  settings.updates = {MakeUpdate("C", 1, 0, 0, 0, {{"u/c", "c.pkg"}})};
  EXPECT_FALSE(Freshet::PrepareAndInstall(settings, nullptr, kNoInstaller));
  read.clear();
  ASSERT_TRUE(Freshet::LoadXmlFile(Folder() + "/" + Freshet::kUpdateListFile, list));
  Freshet::ParseUpdates(list.document_element(), read);
  EXPECT_EQ(read.size(), 2u);
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(InstallationTest, FoldersThatAreNotPrivateAreLeftAlone) {
  TempDir outside;
  ASSERT_TRUE(OS::EnsureDir(fs::path(Folder()).parent_path().string()));

  // A link planted at the folder's place: no run may write through it.
  ASSERT_EQ(::symlink(outside.path().c_str(), Folder().c_str()), 0);
  settings.updates = {MakeUpdate("A", 1, 0, 0, 0, {{"u/a", "a.pkg"}})};
  EXPECT_FALSE(Freshet::PrepareAndInstall(settings, nullptr, kNoInstaller));
  EXPECT_TRUE(fs::is_empty(outside.path()));
  ::unlink(Folder().c_str());

  // A folder others may enter is not trusted with an installer.
  MakeFolder(settings.updates, StatusXml(0, 0));
  ::chmod(Folder().c_str(), 0755);
  EXPECT_EQ(Freshet::InstallStep(settings, nullptr, kNoInstaller), 0);
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(InstallationTest, CleaningNeverFollowsALinkOutOfTheFolder) {
  TempDir outside;
  WriteText(outside / "keep.txt", "keep");

  // An empty folder stays.
  ASSERT_TRUE(OS::EnsurePrivateDir(Folder()));
  EXPECT_TRUE(Freshet::CleanInstallationDirectory(settings));
  EXPECT_TRUE(OS::IsDirectory(Folder()));

  // Links inside the folder go, what they point to stays.
  ASSERT_EQ(::symlink(outside.path().c_str(), (Folder() + "/dir-link").c_str()), 0);
  ASSERT_EQ(::symlink((outside / "keep.txt").c_str(), (Folder() + "/file-link").c_str()), 0);
  EXPECT_TRUE(Freshet::CleanInstallationDirectory(settings));
  EXPECT_FALSE(OS::PathExists(Folder()));
  EXPECT_EQ(ReadText(outside / "keep.txt"), "keep");

  // A link in the folder's place goes, what it points to stays.
  ASSERT_EQ(::symlink(outside.path().c_str(), Folder().c_str()), 0);
  EXPECT_FALSE(Freshet::IsInstallPending(settings));
  EXPECT_TRUE(Freshet::CleanInstallationDirectory(settings));
  EXPECT_FALSE(OS::PathExists(Folder()));
  EXPECT_EQ(ReadText(outside / "keep.txt"), "keep");
}

TEST_F(InstallationTest, UpdateListRoundTripsThroughParseUpdates) {
  FreshetUpdate a = MakeUpdate("Tarvix <5> & \"more\"", 5, 6, 0, 1234, {{"u/a?x=1&y=2", "a.pkg"}, {"u/b", "b.pkg"}});
  a.description = "e1xydGYxIFRoZXJlIGlzIGFuIHVwZGF0ZX0=";
  a.date = "2024-03-01T10:00:00";
  a.windowsInstallerId = "{W}";
  const FreshetUpdate b = MakeUpdate("Empty", -1, 0, 2147483647, 0);
  const std::vector<FreshetUpdate> updates = {a, b};
  TempDir dir;
  ASSERT_TRUE(Freshet::WriteUpdateList(dir / "UpdateList.xml", updates));

  pugi::xml_document doc;
  ASSERT_TRUE(Freshet::LoadXmlFile(dir / "UpdateList.xml", doc));
  std::vector<FreshetUpdate> read;
  EXPECT_EQ(Freshet::ParseUpdates(doc.document_element(), read), 2);
  EXPECT_EQ(read, updates);

  // The element order other readers of the file expect.
  EXPECT_STREQ(doc.document_element().name(), "ArrayOfUpdates");
  std::vector<std::string> order;
  for (pugi::xml_node n : doc.document_element().first_child().children()) order.push_back(n.name());
  EXPECT_EQ(order, (std::vector<std::string>{"productName", "productId", "date", "description", "windowsInstallerId",
                                             "version", "url"}));
  const pugi::xml_node file = doc.document_element().first_child().child("url").first_child();
  EXPECT_STREQ(file.name(), "File");
  EXPECT_STREQ(file.first_child().name(), "localName");
  EXPECT_STREQ(file.last_child().name(), "url");
}

TEST_F(InstallationTest, EverythingInstalledDeletesTheFolderWithoutStartingTheInstaller) {
  std::vector<std::string> shown;
  Freshet::SetInformationHandler([&shown](const std::string& t) { shown.push_back(t); });
  for (int uiLevel : {0, 1}) {
    settings.uiLevel = uiLevel;
    MakeFolder({MakeUpdate("A", 1, 0, 0, 0, {{"u/a1", "a1.pkg"}, {"u/a2", "a2.pkg"}, {"u/a3", "a3.pkg"}}),
                MakeUpdate("B", 1, 0, 0, 0, {{"u/b1", "b1.pkg"}})},
               StatusXml(4, 2));
    EXPECT_EQ(Freshet::InstallStep(settings, nullptr, kNoInstaller), 1);
    EXPECT_FALSE(OS::PathExists(Folder()));
  }
  Freshet::SetInformationHandler({});
  EXPECT_EQ(shown, std::vector<std::string>{Freshet::kUpdateCompletedText});
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(InstallationTest, StepsWithNothingToDoEndAtOnce) {
  struct Case {
    const char* what;
    std::vector<FreshetUpdate> updates;
    std::string status;
  };
  const Case cases[] = {
      {"updates without files", {MakeUpdate("A", 1, 0, 0, 0)}, StatusXml(0, 0)},
      {"status not XML", {MakeUpdate("A", 1, 0, 0, 0, {{"u/a", "a.pkg"}})}, "<Status DownloadFile="},
      {"no DownloadFile", {MakeUpdate("A", 1, 0, 0, 0, {{"u/a", "a.pkg"}})}, "<Status InstallFile=\"0\"/>"},
      {"DownloadFile beyond the files", {MakeUpdate("A", 1, 0, 0, 0, {{"u/a", "a.pkg"}})}, StatusXml(5, 0)},
      {"no InstallFile", {MakeUpdate("A", 1, 0, 0, 0, {{"u/a", "a.pkg"}})}, "<Status DownloadFile=\"1\"/>"},
  };
  for (const Case& c : cases) {
    MakeFolder(c.updates, c.status);
    EXPECT_EQ(Freshet::InstallStep(settings, nullptr, kNoInstaller), 1) << c.what;
    EXPECT_TRUE(Freshet::IsInstallPending(settings)) << c.what;
    EXPECT_FALSE(OS::PathExists(Folder() + "/" + Freshet::kInstallerProgram)) << c.what;
    Freshet::CleanInstallationDirectory(settings);
  }
  EXPECT_TRUE(server.Requests().empty());
}

TEST(HandleInstaller, InstallsEachUpdateInTurnAndRecordsProgress) {
  const std::vector<FreshetUpdate> updates = {
      MakeUpdate("A", 1, 0, 0, 0, {{"u/a1", "a1.pkg"}, {"u/a2", "a2.pkg"}}),
      MakeUpdate("B", 1, 0, 0, 0, {{"u/b1", "b1.pkg"}, {"u/b2", "b2.pkg"}}),
      MakeUpdate("C", 1, 0, 0, 0),
  };
  struct Case {
    const char* what;
    int installFile;
    std::map<std::string, int> results;
    int expected;
    std::vector<std::string> installed;
    int installFileAfter;
  };
  const Case cases[] = {
      {"all", 0, {}, 0, {"a1.pkg", "a2.pkg", "b1.pkg", "b2.pkg"}, 3},
      {"restart needed ends the update", 0, {{"a1.pkg", 3010}}, 0, {"a1.pkg", "b1.pkg", "b2.pkg"}, 3},
      {"a failure stops at its update",
       0,
       {{"b2.pkg", 1603}},
       Freshet::kInstallerPackageFailed,
       {"a1.pkg", "a2.pkg", "b1.pkg", "b2.pkg"},
       1},
      {"a failure with the first file", 0, {{"a1.pkg", 1620}}, Freshet::kInstallerPackageFailed, {"a1.pkg"}, 0},
      {"resume after the first update", 1, {}, 0, {"b1.pkg", "b2.pkg"}, 3},
      {"nothing left", 3, {{"a1.pkg", 1603}}, 0, {}, 3},
  };
  for (const Case& c : cases) {
    TempDir dir;
    ASSERT_TRUE(Freshet::WriteUpdateList(dir / Freshet::kUpdateListFile, updates));
    WriteText(dir / Freshet::kStatusFile, StatusXml(4, c.installFile));
    for (const auto& u : updates) {
      for (const auto& f : u.files) WriteText(dir / f.localName, Signed(u, f.localName, "#!/bin/sh\n# " + f.localName));
    }
    FakePackageInstaller installer;
    installer.results = c.results;
    std::vector<std::string> shown;
    Freshet::SetInformationHandler([&shown](const std::string& t) { shown.push_back(t); });
    EXPECT_EQ(Freshet::HandleInstaller(installer, TestVerifier(), dir.path()), c.expected) << c.what;
    Freshet::SetInformationHandler({});
    std::vector<std::string> installed;
    for (const auto& [path, properties] : installer.calls) {
      // What runs is the package's verified contents.
      const std::string name = path.substr(path.rfind('/') + 1);
      EXPECT_EQ(path, dir / Freshet::kVerifiedFolder + "/" + name) << c.what;
      EXPECT_EQ(ReadText(path), "#!/bin/sh\n# " + name) << c.what;
      EXPECT_EQ(properties, "STARTAUTO=1") << c.what;
      installed.push_back(name);
    }
    EXPECT_EQ(installed, c.installed) << c.what;
    EXPECT_EQ(StatusCounter(dir.path(), "InstallFile"), c.installFileAfter) << c.what;
    EXPECT_EQ(shown.size(), c.expected == 0 ? 1u : 0u) << c.what;
  }
}

TEST(HandleInstaller, NothingRunsUnlessEveryPackageLeftVerifiesInAPrivateFolder) {
  const std::vector<FreshetUpdate> updates = {MakeUpdate("A", 1, 0, 0, 0, {{"u/a", "a.pkg"}}),
                                              MakeUpdate("B", 2, 0, 0, 0, {{"u/b", "b.pkg"}})};
  auto installed = std::make_shared<FakeInstalledProducts>();
  installed->Add("B", "2.0.0");
  struct Case {
    const char* what;
    std::shared_ptr<const OS::InstalledProducts> installed;
    std::string b;
    unsigned mode;
    bool bRemoved;
  };
  std::string altered = Signed(updates[1], "b.pkg", "#!/bin/sh\nexit 0\n");
  altered.back() = 'X';
  const Case cases[] = {
      {"the second package altered", nullptr, altered, 0700, true},
      {"the second update already installed", installed, Signed(updates[1], "b.pkg", "#!/bin/sh\n"), 0700, true},
      {"a folder others may enter", nullptr, Signed(updates[1], "b.pkg", "#!/bin/sh\n"), 0755, false},
  };
  for (const Case& c : cases) {
    TempDir dir;
    ASSERT_TRUE(Freshet::WriteUpdateList(dir / Freshet::kUpdateListFile, updates));
    WriteText(dir / Freshet::kStatusFile, StatusXml(2, 0));
    WriteText(dir / "a.pkg", Signed(updates[0], "a.pkg", "#!/bin/sh\n"));
    WriteText(dir / "b.pkg", c.b);
    ::chmod(dir.path().c_str(), c.mode);
    FakePackageInstaller installer;
    EXPECT_EQ(Freshet::HandleInstaller(installer, TestVerifier(c.installed), dir.path()), Freshet::kInstallerUnverified)
        << c.what;
    EXPECT_TRUE(installer.calls.empty()) << c.what;
    EXPECT_EQ(OS::PathExists(dir / "b.pkg"), !c.bRemoved) << c.what;
    EXPECT_FALSE(OS::PathExists(dir / Freshet::kVerifiedFolder + "/a.pkg")) << c.what;
    EXPECT_EQ(StatusCounter(dir.path(), "InstallFile"), 0) << c.what;
    ::chmod(dir.path().c_str(), 0700);
  }
}

TEST(HandleInstaller, StateFilesThatCannotBeReadGiveTheirResults) {
  const std::string list =
      "<ArrayOfUpdates><Updates><url><File><localName>a.pkg</localName></File></url>"
      "</Updates></ArrayOfUpdates>";
  struct Case {
    const char* what;
    const char* status;  // nullptr: no file
    const char* updateList;
    int expected;
  };
  const Case cases[] = {
      {"status missing", nullptr, list.c_str(), Freshet::kInstallerStatusUnreadable},
      {"status not XML", "<Status InstallFile=\"0\"", list.c_str(), Freshet::kInstallerStatusUnreadable},
      {"list not XML", "<Status InstallFile=\"0\"/>", "<ArrayOfUpdates>", Freshet::kInstallerListUnreadable},
      {"list missing", "<Status InstallFile=\"0\"/>", nullptr, Freshet::kInstallerListUnreadable},
      {"no InstallFile", "<Status DownloadFile=\"1\"/>", list.c_str(), Freshet::kInstallerNoInstallCounter},
      {"InstallFile without a value", "<Status InstallFile=\"\"/>", list.c_str(), Freshet::kInstallerNoInstallCounter},
      {"InstallFile not a number", "<Status InstallFile=\"x\"/>", list.c_str(), Freshet::kInstallerNoInstallCounter},
      {"InstallFile negative", "<Status InstallFile=\"-1\"/>", list.c_str(), Freshet::kInstallerNoInstallCounter},
  };
  for (const Case& c : cases) {
    TempDir dir;
    if (c.status) WriteText(dir / Freshet::kStatusFile, c.status);
    if (c.updateList) WriteText(dir / Freshet::kUpdateListFile, c.updateList);
    FakePackageInstaller installer;
    EXPECT_EQ(Freshet::HandleInstaller(installer, TestVerifier(), dir.path()), c.expected) << c.what;
    EXPECT_TRUE(installer.calls.empty()) << c.what;
  }
}

TEST(HandleInstaller, AStatusFileThatCannotBeSavedStopsTheRun) {
  TempDir dir;
  const std::vector<FreshetUpdate> updates = {MakeUpdate("A", 1, 0, 0, 0, {{"u/a", "a.pkg"}}),
                                              MakeUpdate("B", 1, 0, 0, 0)};
  ASSERT_TRUE(Freshet::WriteUpdateList(dir / Freshet::kUpdateListFile, updates));
  WriteText(dir / Freshet::kStatusFile, StatusXml(1, 0));
  WriteText(dir / "a.pkg", Signed(updates[0], "a.pkg", "#!/bin/sh\n"));
  FakePackageInstaller installer;
  // While the package installs, a folder takes the status file's place, so
  // the new status file cannot replace it.
  installer.onInstall = [&dir](const std::string&) {
    ::unlink((dir / Freshet::kStatusFile).c_str());
    ASSERT_TRUE(OS::EnsureDir(dir / Freshet::kStatusFile + "/inside"));
  };
  EXPECT_EQ(Freshet::HandleInstaller(installer, TestVerifier(), dir.path()), Freshet::kInstallerStatusNotSaved);
  EXPECT_EQ(installer.calls.size(), 1u);
}

}  // namespace
}  // namespace ORV::Test
