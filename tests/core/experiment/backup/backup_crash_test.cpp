// A real crash: a child process records data of every kind into a running
// backup and is killed with SIGKILL; the parent imports the backup and finds
// every record that was taken in more than a second before the kill.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "tests/core/experiment/backup/backup_fixture.h"

namespace ORV::Test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kReady = 0xFFFFFFFFu;
constexpr std::uint32_t kMarkerEvery = 150;

// One report of the child through the pipe: round `round` was taken in
// completely at `atMs` after the common start.
struct Report {
  std::uint32_t round;
  std::uint32_t atMs;
};

std::uint32_t MsSince(Clock::time_point t0) {
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count());
}

std::uint32_t TimeOf(std::uint32_t round) { return 1000 + 10 * round; }

CalculationData CalculationOf(std::uint32_t round) {
  CalculationData c;
  c.kind = CalculationData::kMean;
  c.value = round;
  c.comment = "round " + std::to_string(round);
  return c;
}

class BackupCrashTest : public BackupFixture {
 protected:
  // Runs in the child: never returns.
  [[noreturn]] void RecordUntilKilled(int out, Clock::time_point t0) {
    data().OpenStores(dir_.path());
    data().SetBackupRandomSource([] { return 4321u; });
    data().mode = kModeLive;
    data().StartRunningBackup();
    clock_.Start();
    data().Update([](ExperimentContents& c) {
      c.title = "crash";
      c.description = "killed while recording";
      return 0;
    });
    data().WriteTitleAndDescription();
    const Report ready{kReady, 0};
    if (write(out, &ready, sizeof ready) != sizeof ready) _exit(2);

    for (std::uint32_t round = 0; round < 100000; ++round) {
      const std::uint32_t t = TimeOf(round);
      data().AddZoneDataBatch(MakeBatch({MakeZone(t, 2, static_cast<float>(round))}), 0);
      data().AddZoneDataBatch(MakeBatch({MakeZone(t, 3, static_cast<float>(round))}), 1);
      for (int camera = 0; camera < 2; ++camera) {
        MicroscopeData2 m;
        m.time = t;
        m.ir = static_cast<std::int32_t>(round);
        data().AddMicroscopeSample(m, camera);
      }
      FMASL1600Data flow;
      flow.time = t;
      flow.flow = static_cast<std::int16_t>(round % 30000);
      data().AddFlowSample(flow);
      PMK4xData3 pressure;
      pressure.time = t;
      pressure.p1 = static_cast<float>(round);
      data().AddPressureSample(pressure);
      data().AddCalculationData(CalculationOf(round));
      const std::uint8_t image[8] = {1, 2, 3, 4, 5, 6, 7, static_cast<std::uint8_t>(round)};
      data().AddExtraData(t, 2, 4, sizeof image, image);
      if (round % kMarkerEvery == 0) data().AddMarker("m" + std::to_string(round), t, 0);

      const Report done{round, MsSince(t0)};
      if (write(out, &done, sizeof done) != sizeof done) _exit(3);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    _exit(0);
  }
};

TEST_F(BackupCrashTest, KilledRecorderLosesAtMostTheLastSecond) {
  ASSERT_TRUE(data().AddCamera("cam-a"));
  ASSERT_TRUE(data().AddCamera("cam-b"));
  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  SCOPED_TRACE("seed " + std::to_string(seed));

  for (std::uint32_t baseDelay : {300u, 1200u, 2200u}) {
    const std::uint32_t delay = baseDelay + random() % 400;
    SCOPED_TRACE("kill after " + std::to_string(delay) + " ms");
    // A fresh start for each run; nothing of the parent's stores is shared
    // with the child.
    data().Clear();
    data().CloseStores();
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const Clock::time_point t0 = Clock::now();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(pipeFds[0]);
      RecordUntilKilled(pipeFds[1], t0);
    }
    close(pipeFds[1]);

    // Reports are drained while the child runs, so it never blocks on the pipe.
    std::vector<Report> reports;
    Report r{};
    ASSERT_EQ(read(pipeFds[0], &r, sizeof r), static_cast<ssize_t>(sizeof r));
    ASSERT_EQ(r.round, kReady);
    const Clock::time_point killAt = Clock::now() + std::chrono::milliseconds(delay);
    std::thread drain([&] {
      Report x{};
      while (read(pipeFds[0], &x, sizeof x) == static_cast<ssize_t>(sizeof x)) reports.push_back(x);
    });
    std::this_thread::sleep_until(killAt);
    const std::uint32_t killMs = MsSince(t0);
    ASSERT_EQ(kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    drain.join();
    close(pipeFds[0]);

    // Rounds taken in more than a second before the kill must survive.
    std::uint32_t mustSurvive = 0;
    for (const Report& x : reports) {
      if (x.atMs + 1000 < killMs) mustSurvive = x.round + 1;
    }

    config().RunningBackupDirectory = config().GetSettingsString("RunningBackupDirectory");
    ASSERT_EQ(config().RunningBackupDirectory, "4321");
    backupHooks_.answer = ApplicationHooks::Answer::Yes;
    data().mode = kModeNone;
    ASSERT_EQ(data().CheckBackupAtStartup(), 1);

    const auto c = data().Read([](const ExperimentContents& x) { return x; });
    const std::size_t written = reports.size() + 1;  // a round may be cut by the kill
    const auto checkCount = [&](std::size_t n, const char* what) {
      EXPECT_GE(n, mustSurvive) << what;
      EXPECT_LE(n, written) << what;
    };
    for (int camera = 0; camera < 2; ++camera) {
      checkCount(c.zoneData[camera].size(), "zone");
      checkCount(c.microscopeData[camera].size(), "microscope");
      for (std::size_t i = 0; i < c.zoneData[camera].size(); ++i) {
        ASSERT_EQ(c.zoneData[camera][i].time, TimeOf(static_cast<std::uint32_t>(i)));
        ASSERT_EQ(c.zoneData[camera][i].outerLeft[0], static_cast<float>(i));
      }
      for (std::size_t i = 0; i < c.microscopeData[camera].size(); ++i) {
        ASSERT_EQ(c.microscopeData[camera][i].ir, static_cast<std::int32_t>(i));
      }
    }
    checkCount(c.flowSamples.size(), "flow");
    checkCount(c.pressureSamples.size(), "pressure");
    checkCount(c.calculations.size(), "calculations");
    checkCount(c.indexImages.size(), "index images");
    for (std::size_t i = 0; i < c.pressureSamples.size(); ++i) {
      ASSERT_EQ(c.pressureSamples[i].p1, static_cast<float>(i));
    }
    for (std::size_t i = 0; i < c.calculations.size(); ++i) {
      ASSERT_EQ(c.calculations[i], CalculationOf(static_cast<std::uint32_t>(i)));
    }
    for (std::size_t i = 0; i < c.indexImages.size(); ++i) {
      ASSERT_EQ(c.indexImages[i].time, TimeOf(static_cast<std::uint32_t>(i)));
      ASSERT_EQ(c.indexImages[i].image.back(), static_cast<std::uint8_t>(i));
    }
    const std::size_t markersDue = mustSurvive == 0 ? 0 : (mustSurvive - 1) / kMarkerEvery + 1;
    EXPECT_GE(data().MarkerCount(), markersDue);
    EXPECT_EQ(c.title, "crash");
    EXPECT_EQ(c.fileCameraNames.size(), 2u);
    EXPECT_EQ(data().mode, kModeFile);
  }
}

}  // namespace
}  // namespace ORV::Test
