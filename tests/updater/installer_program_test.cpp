// The hand-off to the installer program: the real library and installer are
// copied into the working folder and run there; the packages are small shell
// scripts that note what they were asked to do.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/threading/event.h"
#include "platform/os/child_process.h"
#include "platform/os/folders.h"
#include "tests/support/test_support.h"
#include "updater/installation.h"
#include "updater/update_files.h"
#include "updater/update_query.h"
#include "updater_fixture.h"

namespace ORV::Test {
namespace {

namespace fs = std::filesystem;
using Freshet::FreshetUpdate;

const Freshet::HandOffFiles kRealInstaller{ORV_TEST_FRESHET_LIBRARY, ORV_TEST_INSTALLER};

bool WaitUntil(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

class InstallerProgramTest : public UpdaterTest {
 protected:
  // A package that appends "<its folder>|<its path> <its arguments>" to the log and
  // ends with `exitCode`.
  std::string LoggingPackage(int exitCode) const {
    return "#!/bin/sh\nprintf '%s|%s %s\\n' \"$(pwd)\" \"$0\" \"$*\" >> '" + marks / "log" + "'\nexit " +
           std::to_string(exitCode) + "\n";
  }
  // A package that says it started, then waits (at most 30 s) for "release".
  std::string BlockingPackage() const {
    return "#!/bin/sh\ntouch '" + marks / "started" + "'\ni=0\nwhile [ ! -e '" + marks / "release" +
           "' ] && [ $i -lt 600 ]; do sleep 0.05; i=$((i+1)); done\ntouch '" + marks / "done" + "'\n";
  }
  // A working folder whose packages are all downloaded, signed.
  void MakeDownloadedFolder(const std::vector<FreshetUpdate>& updates, const std::vector<std::string>& packages) {
    ASSERT_TRUE(OS::EnsurePrivateDir(Folder()));
    ASSERT_TRUE(Freshet::WriteUpdateList(Folder() + "/" + Freshet::kUpdateListFile, updates));
    std::size_t files = 0;
    for (const auto& u : updates) {
      for (const auto& f : u.files)
        WriteText(Folder() + "/" + f.localName, Signed(u, f.localName, packages.at(files++)));
    }
    WriteText(Folder() + "/" + Freshet::kStatusFile,
              "<Status DownloadFile=\"" + std::to_string(files) + "\" InstallFile=\"0\"/>");
  }
  // Where the installer runs the packages: the folder of their verified contents.
  std::string RealFolder() const {
    return fs::canonical(fs::path(Folder()).parent_path()).string() + "/" + kProductId + "/" + Freshet::kVerifiedFolder;
  }

  TempDir marks;
  Utils::Sync::Event cancel;
};

TEST_F(InstallerProgramTest, CheckDownloadAndInstallEndToEnd) {
  FakeInstalledProducts installed;
  installed.Add("Tarvix 5", "5.5.7");
  FreshetUpdate own = MakeUpdate("Tarvix 5", 5, 6, 0, 0, {{"u/core", "core.pkg"}, {"u/extra", "extra.pkg"}});
  own.productId = kProductId;
  const FreshetUpdate drivers = MakeUpdate("Drivers", 1, 0, 0, 0, {{"u/drv", "drv.pkg"}});
  server.Queue({200, SoapReply(UpdateElement(own) + UpdateElement(drivers))});
  // The first package asks for a restart, which ends its update: the second
  // file of that update is not run.
  server.Queue(SignedReply(own, "core.pkg", LoggingPackage(3010)));
  server.Queue(SignedReply(own, "extra.pkg", LoggingPackage(0)));
  server.Queue(SignedReply(drivers, "drv.pkg", LoggingPackage(0)));

  ASSERT_EQ(Freshet::CheckForUpdates(settings, installed), 1);
  ASSERT_TRUE(Freshet::PrepareAndInstall(settings, &cancel, kRealInstaller));

  const std::string real = RealFolder();
  EXPECT_EQ(ReadText(marks / "log"), real + "|./core.pkg STARTAUTO=1\n" + real + "|./drv.pkg STARTAUTO=1\n");
  EXPECT_FALSE(OS::PathExists(Folder())) << "exit code 0 removes the working folder";
  std::vector<std::string> bodies;
  for (const auto& r : server.Requests()) bodies.push_back(r.requestLine + " " + r.body.substr(0, r.body.find('\n')));
  EXPECT_EQ(bodies, (std::vector<std::string>{"POST /svc HTTP/1.1 <?xml version=\"1.0\" encoding=\"utf-8\"?>",
                                              "POST /svc/Download HTTP/1.1 filename=u%2Fcore",
                                              "POST /svc/Download HTTP/1.1 filename=u%2Fextra",
                                              "POST /svc/Download HTTP/1.1 filename=u%2Fdrv"}));
}

// Offers whose package is not the maker's are refused with nothing run; the
// user is told which update, the event log says why, the downloads go, and a
// good offer after them installs.
TEST_F(InstallerProgramTest, PackagesThatAreNotTheMakersAreRefusedAndAGoodOneInstallsAfterThem) {
  MemoryEventLog log;
  FakeInstalledProducts installed;
  installed.Add("Tarvix 5", "5.5.7");
  FreshetUpdate own = MakeUpdate("Tarvix 5", 5, 6, 0, 0, {{"u/core", "core.pkg"}});
  own.productId = kProductId;
  const std::string marker = marks / "installed";
  const std::string package = "#!/bin/sh\ntouch '" + marker + "'\n";
  const std::string good = Signed(own, "core.pkg", package);
  const Freshet::SigningKeyPair other = Freshet::GenerateSigningKeyPair();
  FreshetUpdate escaping = own;
  escaping.files = {{"u/core", "../core.pkg"}};
  struct Case {
    const char* what;
    FreshetUpdate offered;
    std::string body;  // empty: nothing is downloaded
    bool unverified;
  };
  const Case cases[] = {
      {"a list naming a file outside the folder", escaping, "", false},
      {"not signed", own, package, true},
      {"signed with another key", own, Signed(own, "core.pkg", package, other.privateKeyPem), true},
      {"cut short", own, good.substr(0, good.size() - 1), true},
      {"one byte altered", own, good.substr(0, good.size() - 3) + "X" + good.substr(good.size() - 2), true},
      {"an older package replayed", own, Signed(MakeUpdate("Tarvix 5", 5, 0, 0, 0), "core.pkg", package), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    log.backend().Clear();
    server.Queue({200, SoapReply(UpdateElement(c.offered))});
    if (!c.body.empty()) server.Queue({200, c.body, "application/octet-stream"});
    ASSERT_EQ(Freshet::CheckForUpdates(settings, installed), 1);
    Freshet::Notices notices;
    EXPECT_FALSE(Freshet::PrepareAndInstall(settings, &cancel, kRealInstaller, &notices));
    EXPECT_FALSE(OS::PathExists(marker)) << "the package ran";
    EXPECT_FALSE(OS::PathExists(Folder())) << "the downloads are removed";
    EXPECT_FALSE(Freshet::IsInstallPending(settings));
    if (c.unverified) {
      EXPECT_EQ(notices, std::vector<std::string>{
                             "The update \"Tarvix 5\" 5.6.0.0 could not be verified and was not installed."});
      EXPECT_NE(log.Dump().find("could not be verified"), std::string::npos) << log.Dump();
      EXPECT_NE(log.Dump().find("core.pkg"), std::string::npos) << log.Dump();
    } else {
      EXPECT_TRUE(notices.empty());
    }
  }

  server.Queue({200, SoapReply(UpdateElement(own))});
  server.Queue({200, good, "application/octet-stream"});
  ASSERT_EQ(Freshet::CheckForUpdates(settings, installed), 1);
  Freshet::Notices notices;
  EXPECT_TRUE(Freshet::PrepareAndInstall(settings, &cancel, kRealInstaller, &notices));
  EXPECT_TRUE(notices.empty());
  EXPECT_TRUE(OS::PathExists(marker)) << "the good package installed";
  EXPECT_FALSE(OS::PathExists(Folder()));
}

// Started on its own, the installer checks every package left to install
// before it runs any: a package altered after the download stops the run
// with nothing installed, also of the updates before it, and is deleted.
TEST_F(InstallerProgramTest, TheInstallerChecksEveryPackageItselfBeforeItRunsAny) {
  const std::vector<FreshetUpdate> updates = {MakeUpdate("A", 1, 0, 0, 0, {{"u/a", "a.pkg"}}),
                                              MakeUpdate("B", 1, 0, 0, 0, {{"u/b", "b.pkg"}})};
  const auto run = [this] {
    OS::ChildProcess installer;
    EXPECT_TRUE(installer.Start(Folder() + "/" + Freshet::kInstallerProgram, {}, Folder()));
    EXPECT_TRUE(installer.WaitFor(std::chrono::seconds(30)));
    return installer.ExitStatus().value_or(-1);
  };
  MakeDownloadedFolder(updates, {LoggingPackage(0), LoggingPackage(0)});
  fs::copy_file(kRealInstaller.installer, Folder() + "/" + Freshet::kInstallerProgram);
  fs::copy_file(kRealInstaller.library, Folder() + "/" + Freshet::kLibraryFile);
  const std::string b = ReadText(Folder() + "/b.pkg");
  WriteText(Folder() + "/b.pkg", b.substr(0, b.size() - 2) + "1\n");  // "exit 1" in place of "exit 0"

  EXPECT_EQ(run(), -Freshet::kInstallerUnverified);
  EXPECT_EQ(ReadText(marks / "log"), "") << "nothing ran";
  EXPECT_FALSE(OS::PathExists(Folder() + "/b.pkg")) << "the refused package is deleted";
  EXPECT_TRUE(OS::PathExists(Folder() + "/a.pkg"));
  EXPECT_EQ(StatusCounter(Folder(), "InstallFile"), 0);

  WriteText(Folder() + "/b.pkg", b);
  EXPECT_EQ(run(), 0);
  const std::string real = RealFolder();
  EXPECT_EQ(ReadText(marks / "log"), real + "|./a.pkg STARTAUTO=1\n" + real + "|./b.pkg STARTAUTO=1\n");
}

TEST_F(InstallerProgramTest, AFailedInstallKeepsTheFolderAndTheNextStepResumes) {
  const std::vector<FreshetUpdate> updates = {MakeUpdate("A", 1, 0, 0, 0, {{"u/a", "a.pkg"}}),
                                              MakeUpdate("B", 1, 0, 0, 0, {{"u/b", "b.pkg"}})};
  MakeDownloadedFolder(updates, {LoggingPackage(0), LoggingPackage(1)});

  EXPECT_EQ(Freshet::InstallStep(settings, &cancel, kRealInstaller), 1);
  EXPECT_TRUE(Freshet::IsInstallPending(settings));
  EXPECT_EQ(StatusCounter(Folder(), "InstallFile"), 1);
  EXPECT_TRUE(OS::PathExists(Folder() + "/" + Freshet::kLibraryFile));
  EXPECT_TRUE(OS::PathExists(Folder() + "/" + Freshet::kInstallerProgram));

  WriteText(Folder() + "/b.pkg", Signed(updates[1], "b.pkg", LoggingPackage(0)));
  EXPECT_EQ(Freshet::InstallStep(settings, &cancel, kRealInstaller), 1);
  EXPECT_FALSE(OS::PathExists(Folder()));
  const std::string real = RealFolder();
  EXPECT_EQ(ReadText(marks / "log"),
            real + "|./a.pkg STARTAUTO=1\n" + real + "|./b.pkg STARTAUTO=1\n" + real + "|./b.pkg STARTAUTO=1\n");
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(InstallerProgramTest, ACancelOrNoWaitLeavesTheInstallerRunning) {
  for (const bool withCancel : {true, false}) {
    SCOPED_TRACE(withCancel ? "signalled cancel" : "no cancel event");
    for (const char* mark : {"started", "release", "done"}) ::unlink((marks / mark).c_str());
    cancel.Reset();
    MakeDownloadedFolder({MakeUpdate("A", 1, 0, 0, 0, {{"u/a", "a.pkg"}})}, {BlockingPackage()});

    std::thread canceller;
    if (withCancel) {
      canceller = std::thread([this] {
        WaitUntil([this] { return OS::PathExists(marks / "started"); });
        cancel.Set();
      });
    }
    EXPECT_EQ(Freshet::InstallStep(settings, withCancel ? &cancel : nullptr, kRealInstaller), 1);
    if (canceller.joinable()) canceller.join();
    EXPECT_FALSE(OS::PathExists(marks / "done")) << "the step returned while the installer still ran";
    EXPECT_TRUE(Freshet::IsInstallPending(settings));

    // The installer goes on by itself and records its progress.
    ASSERT_TRUE(WaitUntil([this] { return OS::PathExists(marks / "started"); }));
    WriteText(marks / "release", "");
    EXPECT_TRUE(WaitUntil([this] { return StatusCounter(Folder(), "InstallFile") == 1; }));
    EXPECT_TRUE(OS::PathExists(marks / "done"));
    EXPECT_TRUE(Freshet::IsInstallPending(settings)) << "only the host deletes the folder";
    Freshet::CleanInstallationDirectory(settings);
  }
}

TEST_F(InstallerProgramTest, InstallerExitCodes) {
  struct Case {
    const char* what;
    bool copyLibrary;
    const char* status;
    const char* list;
    int exitCode;
  };
  const auto listOf = [](const char* file) {
    return std::string("<ArrayOfUpdates><Updates><productName>A</productName><url><File><localName>") + file +
           "</localName></File></url></Updates></ArrayOfUpdates>";
  };
  const std::string list = listOf("a.pkg");
  const std::string failing = listOf("bad.pkg");
  const std::string unsigned_ = listOf("plain.pkg");
  const Case cases[] = {
      {"installed", true, "<Status InstallFile=\"0\"/>", list.c_str(), 0},
      {"status file not XML", true, "<Status", list.c_str(), 1},
      {"update list not XML", true, "<Status InstallFile=\"0\"/>", "<ArrayOfUpdates>", 2},
      {"no InstallFile", true, "<Status/>", list.c_str(), 4},
      {"package failed", true, "<Status InstallFile=\"0\"/>", failing.c_str(), 5},
      {"package not signed", true, "<Status InstallFile=\"0\"/>", unsigned_.c_str(), 7},
      {"library missing", false, "<Status InstallFile=\"0\"/>", list.c_str(), 100},
  };
  const FreshetUpdate a = MakeUpdate("A", 0, 0, 0, 0);
  for (const Case& c : cases) {
    TempDir dir;
    fs::copy_file(kRealInstaller.installer, dir / Freshet::kInstallerProgram);
    if (c.copyLibrary) fs::copy_file(kRealInstaller.library, dir / Freshet::kLibraryFile);
    WriteText(dir / Freshet::kStatusFile, c.status);
    WriteText(dir / Freshet::kUpdateListFile, c.list);
    WriteText(dir / "a.pkg", Signed(a, "a.pkg", LoggingPackage(0)));
    WriteText(dir / "bad.pkg", Signed(a, "bad.pkg", LoggingPackage(2)));
    WriteText(dir / "plain.pkg", LoggingPackage(0));
    OS::ChildProcess installer;
    ASSERT_TRUE(installer.Start(dir / Freshet::kInstallerProgram, {}, dir.path()));
    ASSERT_TRUE(installer.WaitFor(std::chrono::seconds(30))) << c.what;
    EXPECT_EQ(installer.ExitStatus(), c.exitCode) << c.what;
  }
  const std::string log = ReadText(marks / "log");
  EXPECT_NE(log.find("./a.pkg"), std::string::npos) << log;
  EXPECT_EQ(log.find("plain.pkg"), std::string::npos) << "the unsigned package never ran: " << log;
}

}  // namespace
}  // namespace ORV::Test
