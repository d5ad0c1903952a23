// A crash during a collection, then a start without the settings: the
// collecting program runs in a process of its own (probe/collecting_probe.cpp)
// and is killed with SIGKILL while it records; the settings file is removed,
// and the program started again in this process finds the running backup in
// its state folder, offers it and imports everything the backup held.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/os/child_process.h"
#include "tests/e2e/program_on_lab.h"

namespace ORV {
namespace {

using namespace E2E;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The number the probe wrote, once its file exists; 0 when it does not come
// in time or the probe ended first.
std::size_t WaitForReport(const std::string& path, OS::ChildProcess& probe) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLimitMs);
  while (!fs::exists(path)) {
    if (probe.WaitFor(0ms) || std::chrono::steady_clock::now() > end) return 0;
    std::this_thread::sleep_for(20ms);
  }
  std::ifstream in(path);
  std::size_t count = 0;
  in >> count;
  return count;
}

TEST(WholeProgramBackup, ABackupOfAKilledCollectionIsOfferedAndImportedWhenTheSettingsAreGone) {
  ProgramOnLab lab(1);  // the sandboxed folders, which the probe inherits
  ORV::Test::TempDir reports;
  const std::string ready = reports / "ready";
  OS::ChildProcess probe;
  std::string error;
  ASSERT_TRUE(probe.Start(ORV_COLLECTING_PROBE, {ready}, "", &error)) << error;
  const std::size_t recorded = WaitForReport(ready, probe);
  ::kill(probe.Pid(), SIGKILL);
  ASSERT_TRUE(probe.WaitFor(60s));
  ASSERT_GT(recorded, 0u) << "the probe did not record (exit " << probe.ExitStatus().value_or(-1) << ")";
  EXPECT_EQ(probe.TermSignal(), SIGKILL);

  // The settings, which named the backup's folder, are gone.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  ASSERT_NE(config, nullptr);
  const fs::path settings = fs::path(config) / "Orvanta" / "registry.dat";
  ASSERT_TRUE(fs::exists(settings));
  fs::remove(settings);

  lab.boxes.Answer(UI::IDYES);
  ASSERT_TRUE(lab.Start());
  ASSERT_FALSE(lab.boxes.Shown().empty()) << "nothing was offered";
  EXPECT_EQ(lab.boxes.Shown().front().text.toStdString(), "Experiment data found in backup - Import data from backup?");
  ExperimentData& experiment = lab.experiment();
  EXPECT_EQ(experiment.mode.load(), kModeFile) << "the backup stands as an opened experiment";
  EXPECT_GE(PressureSamples(experiment), recorded) << "every sample the backup held on disk is back";
  EXPECT_TRUE(experiment.modified.load()) << "closing asks to save it";
}

}  // namespace
}  // namespace ORV
