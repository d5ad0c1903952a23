// Starting programs, and the package installer: installed products from the
// registry store, and packages installed by the command they name.
#include "platform/os/installer_backend.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "platform/os/child_process.h"
#include "platform/os/folders.h"
#include "tests/support/test_support.h"

namespace ORV::OS {
namespace {

using namespace std::chrono_literals;

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

bool WaitUntil(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

// A shell command that waits (at most 30 s) for `file` to appear.
std::string WaitForFile(const std::string& file) {
  return "i=0; while [ ! -e '" + file + "' ] && [ $i -lt 3000 ]; do sleep 0.01; i=$((i+1)); done; ";
}

TEST(ChildProcess, ReportsHowTheChildEnded) {
  ORV::Test::TempDir dir;
  struct Case {
    const char* script;
    std::optional<int> status;
    int signal;
  };
  const Case cases[] = {
      {"exit 0", 0, 0},
      {"exit 7", 7, 0},
      {"kill -TERM $$", std::nullopt, SIGTERM},
      {"cat > in.txt; pwd > cwd.txt", 0, 0},  // standard input is empty, the folder is the one asked for
  };
  for (const Case& c : cases) {
    ChildProcess child;
    ASSERT_TRUE(child.Start("/bin/sh", {"-c", c.script}, dir.path())) << c.script;
    EXPECT_TRUE(child.Started());
    ASSERT_TRUE(child.WaitFor(30s)) << c.script;
    EXPECT_TRUE(child.Ended());
    EXPECT_EQ(child.ExitStatus(), c.status) << c.script;
    EXPECT_EQ(child.TermSignal(), c.signal) << c.script;
  }
  EXPECT_EQ(Read(dir / "in.txt"), "");
  EXPECT_EQ(Read(dir / "cwd.txt"), dir.path() + "\n");

  ChildProcess missing;
  std::string error;
  EXPECT_FALSE(missing.Start(dir / "no-such-program", {}, "", &error));
  EXPECT_FALSE(missing.Started());
  EXPECT_NE(error.find("no-such-program"), std::string::npos);
}

TEST(ChildProcess, WaitsWithATimeLimitAndLeavesARunningChildRunning) {
  ORV::Test::TempDir dir;
  pid_t pid = -1;
  {
    ChildProcess child;
    ASSERT_TRUE(child.Start("/bin/sh", {"-c", WaitForFile(dir / "go") + "touch '" + dir / "done" + "'"}, ""));
    pid = child.Pid();
    EXPECT_FALSE(child.WaitFor(0ms));
    EXPECT_FALSE(child.WaitFor(30ms));
    EXPECT_FALSE(child.Ended());
    EXPECT_FALSE(child.ExitStatus());
  }
  // Still running after its object went away; its exit is collected, so no
  // zombie remains once it ends.
  EXPECT_FALSE(PathExists(dir / "done"));
  Write(dir / "go", "");
  EXPECT_TRUE(WaitUntil([&] { return PathExists(dir / "done"); }));
  EXPECT_TRUE(WaitUntil([&] { return ::waitpid(pid, nullptr, WNOHANG) < 0 && errno == ECHILD; }));
}

TEST(InstalledProducts, AreReadFromTheRegistryStore) {
  RegistryStore store;
  EXPECT_TRUE(RegisterInstalledProduct(store, "{B}", "Tarvix 5", "5.5.7.0"));
  EXPECT_TRUE(RegisterInstalledProduct(store, "{A}", "Old name", "1.0"));
  store.SetValue(std::string(kInstalledProductsKey) + "\\{A}", "Extra", RegValue::MakeDword(1));
  EXPECT_TRUE(RegisterInstalledProduct(store, "{A}", "Drivers", "2.1"));
  store.SetValue(std::string(kInstalledProductsKey) + "\\{C}", "VersionString", RegValue::MakeDword(5));
  EXPECT_FALSE(RegisterInstalledProduct(store, "a\\b", "Bad", "1"));
  EXPECT_FALSE(RegisterInstalledProduct(store, "", "Bad", "1"));

  const auto products = RegistryInstalledProducts(store).Enumerate();
  ASSERT_EQ(products.size(), 3u);
  EXPECT_EQ(products[0].productCode, "{A}");
  EXPECT_EQ(products[0].productName, "Drivers");
  EXPECT_EQ(products[0].versionString, "2.1");
  EXPECT_EQ(store.ValueNames(std::string(kInstalledProductsKey) + "\\{A}").size(), 2u);
  EXPECT_EQ(products[1].productName, "Tarvix 5");
  EXPECT_EQ(products[1].versionString, "5.5.7.0");
  EXPECT_EQ(products[2].productName, "");
  EXPECT_EQ(products[2].versionString, std::nullopt) << "a version that is not text cannot be read";
}

TEST(CommandPackageInstaller, RunsTheCommandThePackageNames) {
  ORV::Test::TempDir dir;
  struct Case {
    const char* what;
    std::string package;
    int expected;
  };
  const Case cases[] = {
      {"installed", "#!/bin/sh\nexit 0\n", kInstallSuccess},
      {"restart needed", "#!/bin/sh\nexit 3010\n", kInstallRestartNeeded},
      {"failed", "#!/bin/sh\nexit 1\n", kInstallFailure},
      {"killed", "#!/bin/sh\nkill -KILL $$\n", kInstallFailure},
      {"command with its argument", "#!  /bin/sh -e  \nfalse\nexit 0\n", kInstallFailure},
      {"no command line", "MZ\x90 binary\n", kInstallPackageInvalid},
      {"relative command", "#!sh\nexit 0\n", kInstallPackageInvalid},
      {"only a first line without its end", "#!/bin/sh", kInstallPackageInvalid},
      {"empty", "", kInstallPackageInvalid},
      {"command not on the list", "#!/nonexistent/installer\n", kInstallPackageInvalid},
      {"another interpreter", "#!/usr/bin/env sh\nexit 0\n", kInstallPackageInvalid},
  };
  CommandPackageInstaller installer;
  for (const Case& c : cases) {
    Write(dir / "p.pkg", c.package);
    EXPECT_EQ(installer.InstallPackage(dir / "p.pkg", "STARTAUTO=1"), c.expected) << c.what;
  }
  EXPECT_EQ(installer.InstallPackage(dir / "missing.pkg", "STARTAUTO=1"), kInstallPackageOpenFailed);

  // Nothing but the listed interpreter runs: a package naming another
  // program leaves no trace of having run.
  Write(dir / "p.pkg", "#!/usr/bin/touch\n");
  EXPECT_EQ(installer.InstallPackage(dir / "p.pkg", dir / "ran"), kInstallPackageInvalid);
  EXPECT_FALSE(PathExists(dir / "ran"));

  Write(dir / "-log.pkg", "#!/bin/sh\nprintf '%s|%s|%s' \"$(pwd)\" \"$0\" \"$*\" > '" + dir / "log" + "'\n");
  EXPECT_EQ(installer.InstallPackage(dir / "-log.pkg", "STARTAUTO=1  X=2"), kInstallSuccess);
  EXPECT_EQ(Read(dir / "log"), dir.path() + "|./-log.pkg|STARTAUTO=1 X=2");
}

TEST(CommandPackageInstaller, InstallsWithTheListedProgramsOnly) {
  ORV::Test::TempDir dir;
  Write(dir / "setup.pkg", "#!/bin/sh -e\nexit 0\n");
  Write(dir / "tarvix5_5.6.0_amd64.deb", "!<arch>\ndebian-binary   ");
  Write(dir / "other.pkg", "#!/usr/bin/python3\n");
  struct Case {
    std::string package;
    std::optional<InstallCommand> command;
    int failure;
  };
  const Case cases[] = {
      {dir / "setup.pkg", InstallCommand{"/bin/sh", {"-e", "./setup.pkg", "STARTAUTO=1"}, dir.path()}, 0},
      {dir / "tarvix5_5.6.0_amd64.deb",
       InstallCommand{
           "/usr/bin/pkexec", {"/usr/bin/apt-get", "install", "--yes", dir / "tarvix5_5.6.0_amd64.deb"}, dir.path()},
       0},
      {dir / "other.pkg", std::nullopt, kInstallPackageInvalid},
      {dir / "missing.deb", std::nullopt, kInstallPackageOpenFailed},
  };
  for (const Case& c : cases) {
    int failure = 0;
    EXPECT_EQ(InstallCommandFor(c.package, "STARTAUTO=1", &failure), c.command) << c.package;
    EXPECT_EQ(failure, c.failure) << c.package;
  }
}

}  // namespace
}  // namespace ORV::OS
