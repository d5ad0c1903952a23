// The whole program on a disk that fills or turns read-only, during a
// collection and during a save (the folder's writes are made to fail as that
// disk's would): the user is told, naming the folder or file and the
// reason; the running backup keeps what it had; the collection goes on; a
// failed save leaves the earlier file whole and the experiment open with its
// changes; saved elsewhere, nothing recorded is missing.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/os/file_io.h"
#include "platform/os/folders.h"
#include "tests/e2e/program_rig.h"
#include "tests/support/test_support.h"

namespace ORV::E2E {
namespace {

namespace fs = std::filesystem;
using namespace FrameCommand;

std::size_t Pressures(ExperimentData& e) { return PressureTimes(e).size(); }

TEST(DiskFaults, AFullOrReadOnlyDiskDuringACollectionAndASaveLosesNothing) {
  ProgramRig rig;
  ASSERT_TRUE(rig.Up());
  ExperimentData& experiment = rig.Experiment();
  ORV::Test::TempDir work;
  const std::string base = rig.Settings().GetTempWorkingDirectory();

  for (const int error : {ENOSPC, EROFS}) {
    const std::string reason = std::strerror(error);
    SCOPED_TRACE(reason);
    rig.StartCollection();
    ASSERT_TRUE(WaitFor([&] { return Pressures(experiment) > 40; }));
    const std::string folder = experiment.BackupFolder();
    const std::string stream = folder + "/Pressure_0.dta";
    ASSERT_TRUE(fs::exists(stream));
    const std::size_t before = Pressures(experiment);
    // The backup holds every sample older than a second; on a loaded
    // machine its writer may take longer, so the test waits until it has
    // them all.
    ASSERT_TRUE(WaitFor([&] { return fs::file_size(stream) / PMK4xData3::kSize >= before; }))
        << fs::file_size(stream) / PMK4xData3::kSize << " of " << before << " samples in the backup";

    // ---- the disk of the backup fails during the collection ----
    const std::size_t boxes = rig.boxes.Shown().size();
    OS::SetWriteFault(base, error);
    const std::size_t atFault = Pressures(experiment);
    ASSERT_TRUE(WaitFor([&] { return rig.BoxesWith("The running backup could not be written", boxes) > 0; }));
    EXPECT_EQ(rig.BoxesWith(reason, boxes), 1) << "told once, with the reason";
    EXPECT_EQ(rig.BoxesWith(folder, boxes), 1) << "naming the folder";
    const std::uintmax_t kept = fs::file_size(stream);
    EXPECT_EQ(kept % PMK4xData3::kSize, 0u) << "whole records only";
    EXPECT_GE(kept / PMK4xData3::kSize, before) << "what the backup had is kept";
    ASSERT_TRUE(WaitFor([&] { return Pressures(experiment) > atFault + 40; })) << "the collection goes on";
    EXPECT_EQ(fs::file_size(stream), kept);
    EXPECT_EQ(rig.BoxesWith("The running backup could not be written", boxes), 1);
    EXPECT_TRUE(ActionStarting(experiment, "Running backup stopped: " + reason));
    rig.StopCollection();
    const std::size_t recorded = Pressures(experiment);
    ASSERT_TRUE(experiment.modified.load());

    // ---- a save to a disk of that kind: the earlier file stays whole ----
    const std::string disk = work / ("disk" + std::to_string(error));
    ASSERT_TRUE(OS::EnsureDir(disk));
    const std::string earlier = disk + "/vessel.tvx";
    ASSERT_TRUE(OS::AtomicWriteFile(earlier, std::string_view("an earlier experiment")));
    OS::SetWriteFault(disk, error);
    const std::size_t beforeSave = rig.boxes.Shown().size();
    rig.dialogs.Answer(disk + "/vessel");
    rig.Router().Execute(kFileSaveAs);
    EXPECT_EQ(rig.BoxesWith("Failed to save experiment to file \"" + earlier + "\": " + reason, beforeSave), 1)
        << ::testing::PrintToString(rig.BoxTexts(beforeSave));
    EXPECT_EQ(ORV::Test::FileText(earlier), "an earlier experiment");
    EXPECT_EQ(std::distance(fs::directory_iterator(disk), fs::directory_iterator()), 1) << "no file left behind";
    EXPECT_TRUE(experiment.modified.load()) << "the experiment stays changed";
    EXPECT_EQ(experiment.mode.load(), kLiveIdle) << "the experiment stays open";
    EXPECT_EQ(Pressures(experiment), recorded);
    EXPECT_TRUE(fs::exists(folder + "/ExperimentBackup.idx")) << "the running backup stays";
    OS::ClearWriteFaults();

    // ---- saved elsewhere: nothing recorded is missing, also what came
    // after the backup stopped ----
    const std::string good = work / ("good" + std::to_string(error));
    rig.dialogs.Answer(good);
    ASSERT_TRUE(rig.Router().Execute(kFileSaveAs));
    ASSERT_TRUE(fs::exists(good + ".tvx"));
    EXPECT_FALSE(experiment.modified.load());
    rig.dialogs.Answer(good + ".tvx");
    ASSERT_TRUE(rig.Router().Execute(kFileOpen));
    ASSERT_EQ(experiment.mode.load(), kModeFile);
    EXPECT_EQ(Pressures(experiment), recorded);
    ASSERT_TRUE(rig.Router().Execute(kFileClose));
  }
}

}  // namespace
}  // namespace ORV::E2E
