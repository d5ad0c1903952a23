// The whole program ended from outside during a collection, each in a
// process of its own (the probe program): a kill, after which the next start,
// without the settings that named the backup's folder, offers the running
// backup and imports everything older than a second, with no lock or marker
// of the killed process in its way; a terminate or hang-up
// (a logout, a shutdown), which stops the collection without any question,
// closes the running backup with everything in it, and ends the program; and
// a runtime folder that another user made first, which neither stops the
// program nor its single-instance marker.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <thread>

#include "core/experiment/backup_files.h"
#include "platform/os/child_process.h"
#include "platform/os/folders.h"
#include "tests/shell/app/app_test_fixture.h"
#include "tests/support/test_support.h"

namespace ORV::E2E {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

using Report = std::map<std::string, std::uint64_t>;

// One run of the probe program in a folder of its own.
class Probe {
 public:
  explicit Probe(const std::string& dir) : dir_(dir) {
    fs::create_directories(dir_);
    setenv("ORV_PROBE_DIR", dir_.c_str(), 1);
    std::string error;
    EXPECT_TRUE(child_.Start(ORV_PROGRAM_PROBE, {}, "", &error)) << error;
  }
  ~Probe() {
    if (child_.Started() && !child_.Ended()) {
      ::kill(child_.Pid(), SIGKILL);
      child_.WaitFor(-1ms);
    }
  }
  // Waits for a report file; the limit only guards against a hang.
  bool WaitFor(const std::string& name, std::chrono::seconds limit = 120s) {
    const auto end = Clock::now() + limit;
    while (!fs::exists(dir_ + "/" + name)) {
      if (Clock::now() > end || child_.WaitFor(0ms)) return fs::exists(dir_ + "/" + name);
      std::this_thread::sleep_for(20ms);
    }
    return true;
  }
  Report Read(const std::string& name) const {
    Report report;
    std::ifstream in(dir_ + "/" + name);
    std::string key;
    std::uint64_t value = 0;
    while (in >> key >> value) report[key] = value;
    return report;
  }
  // Waits until the status satisfies `done`; the newest status.
  Report WaitForStatus(const std::function<bool(const Report&)>& done, std::chrono::seconds limit = 120s) {
    const auto end = Clock::now() + limit;
    for (;;) {
      Report status = Read("status");
      if (done(status) || Clock::now() > end || child_.WaitFor(0ms)) return status;
      std::this_thread::sleep_for(50ms);
    }
  }
  std::vector<std::string> Boxes() const {
    std::vector<std::string> lines;
    std::ifstream in(dir_ + "/boxes");
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  void Command(const std::string& command) {
    const std::string tmp = dir_ + "/.command";
    std::ofstream(tmp) << command << "\n";
    fs::rename(tmp, dir_ + "/command");
    // Taken within a report period.
    const auto end = Clock::now() + 60s;
    while (fs::exists(dir_ + "/command") && Clock::now() < end) std::this_thread::sleep_for(20ms);
  }
  OS::ChildProcess& Child() { return child_; }

 private:
  std::string dir_;
  OS::ChildProcess child_;
};

bool Collecting(const Report& r) { return r.contains("mode") && r.at("mode") == 0; }

// The running backup folder of the sandboxed user.
std::string BackupFolderWithIndex() {
  const std::string base = OS::ProductStateDir() + "/ORV-TX5";
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(base, ec)) {
    if (entry.is_directory() && fs::exists(entry.path() / kBackupIndexName)) return entry.path().string();
  }
  return {};
}

class ProcessFaults : public ::testing::Test {
 protected:
  ProcessFaults() {
    setenv("ORV_SIMLAB", "1", 1);
    setenv("ORV_SIMLAB_CAMERAS", "2", 1);
  }
  ORV::Test::AppSandbox sandbox_;
  ORV::Test::TempDir dir_;
};

TEST_F(ProcessFaults, AfterAKillTheNextStartImportsEverythingOlderThanASecond) {
  Report kept;
  {
    Probe first(dir_ / "first");
    ASSERT_TRUE(first.WaitFor("ready"));
    first.Command("start");
    ASSERT_TRUE(Collecting(first.WaitForStatus(Collecting)));
    first.Command("marker");
    const Report status = first.WaitForStatus(
        [](const Report& r) { return r.at("pressures") > 60 && r.at("zones0") > 10 && r.at("markers") > 0; });
    ASSERT_GT(status.at("pressures"), 60u);
    // What the record held a little over a second before the kill.
    std::this_thread::sleep_for(200ms);
    kept = first.Read("status");
    std::this_thread::sleep_for(1200ms);
    ::kill(first.Child().Pid(), SIGKILL);
    ASSERT_TRUE(first.Child().WaitFor(30s));
    EXPECT_EQ(first.Child().TermSignal(), SIGKILL);
  }
  // The settings, which named the backup's folder, are gone too.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  ASSERT_NE(config, nullptr);
  const fs::path settings = fs::path(config) / "Orvanta" / "registry.dat";
  ASSERT_TRUE(fs::exists(settings));
  fs::remove(settings);

  Probe second(dir_ / "second");
  ASSERT_TRUE(second.WaitFor("ready")) << "no lock or marker of the killed process stops the start";
  const std::vector<std::string> boxes = second.Boxes();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.front(), "Experiment data found in backup - Import data from backup?");
  const Report imported = second.Read("ready");
  EXPECT_EQ(imported.at("mode"), 1u) << "the backup stands as an experiment read from a file";
  EXPECT_EQ(imported.at("modified"), 1u) << "closing asks to save it";
  EXPECT_GE(imported.at("pressures"), kept.at("pressures"));
  EXPECT_GE(imported.at("lastPressure"), kept.at("lastPressure"));
  EXPECT_GE(imported.at("zones0"), kept.at("zones0"));
  EXPECT_GE(imported.at("lastZone0"), kept.at("lastZone0"));
  EXPECT_GE(imported.at("markers"), kept.at("markers"));
  std::cout << "kept a second before the kill: " << kept.at("pressures") << " pressure samples, " << kept.at("zones0")
            << " zone records; imported: " << imported.at("pressures") << ", " << imported.at("zones0") << "\n";
  second.Command("quit");
  EXPECT_TRUE(second.Child().WaitFor(60s));
}

TEST_F(ProcessFaults, TerminateOrHangUpStopsTheCollectionWithoutAQuestionAndKeepsItsBackup) {
  const struct {
    const char* what;
    int signal;
    bool dialogOpen;
  } cases[] = {{"terminate", SIGTERM, false}, {"hang-up with a dialog open", SIGHUP, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ORV::Test::SandboxedHome home;  // a user of its own: no backup of the case before
    const std::string folder = dir_ / c.what;
    Report final;
    {
      Probe probe(folder + "/run");
      ASSERT_TRUE(probe.WaitFor("ready"));
      probe.Command("start");
      ASSERT_TRUE(Collecting(probe.WaitForStatus(Collecting)));
      const Report status = probe.WaitForStatus([](const Report& r) { return r.at("pressures") > 40; });
      if (c.dialogOpen) probe.Command("dialog");
      std::this_thread::sleep_for(300ms);
      const std::size_t boxesBefore = probe.Read("status").at("boxes");
      const auto sent = Clock::now();
      ::kill(probe.Child().Pid(), c.signal);
      ASSERT_TRUE(probe.Child().WaitFor(60s)) << "the program ends without anyone answering";
      const double seconds = std::chrono::duration<double>(Clock::now() - sent).count();
      std::cout << c.what << ": ended " << seconds << " s after the signal\n";
      EXPECT_EQ(probe.Child().ExitStatus(), std::optional<int>(0)) << "an orderly end";
      final = probe.Read("final");
      EXPECT_EQ(final.at("boxes"), boxesBefore) << "no question was asked: " << ::testing::PrintToString(probe.Boxes());
      EXPECT_EQ(final.at("mode"), 2u) << "the collection was stopped";
      EXPECT_GE(final.at("pressures"), status.at("pressures"));
    }
    // The running backup was flushed and closed with every sample in it.
    const std::string backup = BackupFolderWithIndex();
    ASSERT_FALSE(backup.empty());
    EXPECT_EQ(fs::file_size(backup + "/Pressure_0.dta"), final.at("pressures") * 124u);
    if (c.dialogOpen) continue;
    // ... and the next start offers it.
    Probe next(folder + "/next");
    ASSERT_TRUE(next.WaitFor("ready"));
    const std::vector<std::string> boxes = next.Boxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.front(), "Experiment data found in backup - Import data from backup?");
    EXPECT_EQ(next.Read("ready").at("pressures"), final.at("pressures"));
    next.Command("quit");
    EXPECT_TRUE(next.Child().WaitFor(60s));
  }
}

TEST_F(ProcessFaults, ARuntimeFolderAnotherUserMadeFirstNeitherStopsTheProgramNorItsMarker) {
  // The shared temporary folder of this test, with the runtime folder's name
  // taken first: by a link to elsewhere, or (as root) by a folder of another
  // user.
  const std::string tmp = dir_ / "tmp";
  fs::create_directories(tmp);
  ::chmod(tmp.c_str(), 01777);
  const std::string shared = tmp + "/orvanta-" + std::to_string(::getuid());
  ORV::Test::TempDir elsewhere;
  if (::geteuid() == 0) {
    ASSERT_EQ(::mkdir(shared.c_str(), 0777), 0);
    ASSERT_EQ(::chown(shared.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 0777), 0);
  } else {
    ASSERT_EQ(::symlink(elsewhere.path().c_str(), shared.c_str()), 0);
  }
  setenv("TMPDIR", tmp.c_str(), 1);
  unsetenv("XDG_RUNTIME_DIR");

  Probe first(dir_ / "first");
  ASSERT_TRUE(first.WaitFor("ready")) << "the program starts";
  EXPECT_TRUE(first.Boxes().empty()) << ::testing::PrintToString(first.Boxes());
  // A second instance is still found, through the marker in the user's own
  // folder.
  Probe second(dir_ / "second");
  ASSERT_TRUE(second.Child().WaitFor(120s));
  EXPECT_FALSE(fs::exists(dir_ / "second/ready"));
  const std::vector<std::string> boxes = second.Boxes();
  ASSERT_EQ(boxes.size(), 1u) << ::testing::PrintToString(boxes);
  EXPECT_EQ(boxes.front(), "One instance of the application is already running ");
  first.Command("quit");
  EXPECT_TRUE(first.Child().WaitFor(60s));
  // Nothing was made in, or changed about, the folder that is not the
  // user's.
  EXPECT_TRUE(fs::is_empty(elsewhere.path()));
  if (::geteuid() == 0) {
    EXPECT_TRUE(fs::is_empty(shared));
    struct stat st {};
    ASSERT_EQ(::lstat(shared.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
  }
  EXPECT_TRUE(fs::exists(OS::ProductStateDir() + "/run"));
}

}  // namespace
}  // namespace ORV::E2E
