// The whole program saving to a disk that fills, as a real disk does: the
// writes go in until the disk has no room left, part-way through a video
// copy or the experiment file; and a disk with too little room for a
// recording, so that the cameras' videos are never made. The user is told
// the system's reason; the earlier file stays whole, the experiment open
// with its changes, no temporary file is left; an experiment whose videos
// were never recorded is saved without them.
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/os/file_io.h"
#include "platform/os/folders.h"
#include "tests/e2e/program_rig.h"
#include "tests/support/test_support.h"

namespace ORV::E2E {
namespace {

namespace fs = std::filesystem;
using namespace FrameCommand;

std::vector<std::string> TemporaryFilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().find(".tmp") != std::string::npos) names.push_back(entry.path());
  return names;
}

// A collection with both cameras recording their video.
void CollectWithVideo(ProgramRig& rig) {
  rig.CaptureAndDrawZones();
  if (!rig.Frame().RecordVideo()) {
    ASSERT_TRUE(rig.Router().Execute(kRecordVideo));
  }
  ASSERT_TRUE(rig.Frame().RecordVideo());
  rig.StartCollection();
  ExperimentData& experiment = rig.Experiment();
  ASSERT_TRUE(WaitFor([&] { return PressureTimes(experiment).size() > 40; }));
  rig.StopCollection();
}

TEST(FullDiskSave, ADiskThatFillsDuringTheSaveSaysWhy) {
  ProgramRig rig;
  ASSERT_TRUE(rig.Up());
  ExperimentData& experiment = rig.Experiment();
  CollectWithVideo(rig);
  std::uint64_t videos = 0;
  experiment.Read([&](const ExperimentContents& c) {
    for (const std::string& video : c.sourceVideoFiles) videos += fs::exists(video) ? fs::file_size(video) : 0;
    return 0;
  });
  ASSERT_GT(videos, 0u) << "the cameras recorded";
  const std::size_t recorded = PressureTimes(experiment).size();

  ORV::Test::TempDir work;
  const std::string disk = work / "disk";
  ASSERT_TRUE(OS::EnsureDir(disk));
  const std::string earlier = disk + "/vessel.tvx";
  ASSERT_TRUE(OS::AtomicWriteFile(earlier, std::string_view("an earlier experiment")));
  struct Case {
    const char* when;
    std::uint64_t room;  // bytes the disk takes before it is full
    bool atFlush;        // the disk takes every byte and refuses the flush
  };
  const Case cases[] = {
      {"during the first video's copy", videos / 4, false},
      {"during the experiment file, after the videos", videos + 200, false},
      {"at the flush to disk", 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.when);
    for (int camera : {0, 1}) fs::remove(disk + "/vessel_" + std::to_string(camera) + ".avi");
    if (c.atFlush) {
      OS::SetFlushFault(disk, ENOSPC);
    } else {
      OS::SetWriteFault(disk, ENOSPC, c.room);
    }
    const std::size_t before = rig.boxes.Shown().size();
    rig.dialogs.Answer(disk + "/vessel");
    rig.Router().Execute(kFileSaveAs);
    OS::ClearWriteFaults();
    EXPECT_EQ(rig.BoxesWith("Failed to save experiment to file \"" + earlier + "\": No space left on device.", before),
              1)
        << ::testing::PrintToString(rig.BoxTexts(before));
    EXPECT_EQ(ORV::Test::FileText(earlier), "an earlier experiment");
    EXPECT_EQ(TemporaryFilesIn(disk), std::vector<std::string>{});
    EXPECT_TRUE(experiment.modified.load()) << "the experiment stays changed";
    EXPECT_EQ(experiment.mode.load(), kLiveIdle) << "the experiment stays open";
    EXPECT_EQ(PressureTimes(experiment).size(), recorded);
  }

  // Saved there once the disk has room; then Save (not As) onto the file
  // when the disk fills again: the file saved before stays.
  rig.dialogs.Answer(disk + "/vessel");
  ASSERT_TRUE(rig.Router().Execute(kFileSaveAs));
  const std::string saved = ORV::Test::FileText(earlier);
  ASSERT_NE(saved, "an earlier experiment");
  const std::size_t asked = rig.dialogs.Asked().size();
  const std::size_t before = rig.boxes.Shown().size();
  experiment.modified = true;  // a change since
  OS::SetWriteFault(disk, ENOSPC, 100);
  ASSERT_TRUE(rig.Router().Execute(kFileSave));
  OS::ClearWriteFaults();
  EXPECT_EQ(rig.dialogs.Asked().size(), asked) << "saved to its file, no name asked";
  EXPECT_EQ(rig.BoxesWith("Failed to save experiment to file \"" + earlier + "\": No space left on device.", before), 1)
      << ::testing::PrintToString(rig.BoxTexts(before));
  EXPECT_EQ(ORV::Test::FileText(earlier), saved);
  EXPECT_EQ(TemporaryFilesIn(disk), std::vector<std::string>{});
  EXPECT_TRUE(experiment.modified.load());
}

TEST(FullDiskSave, VideosNeverRecordedForWantOfRoomAreLeftOutOfTheSave) {
  ProgramRig rig;
  ASSERT_TRUE(rig.Up());
  ExperimentData& experiment = rig.Experiment();
  // The program's folders lie on a disk with a gigabyte left: the running
  // backup has room, a recording does not.
  const char* state = std::getenv("XDG_STATE_HOME");
  ASSERT_NE(state, nullptr);
  OS::SetWriteFault(state, ENOSPC, 1'000'000'000);
  const std::size_t before = rig.boxes.Shown().size();
  CollectWithVideo(rig);
  OS::ClearWriteFaults();
  EXPECT_EQ(rig.BoxesWith("Not enough temporary disk space available for recording", before), 2)
      << ::testing::PrintToString(rig.BoxTexts(before));
  const std::size_t recorded = PressureTimes(experiment).size();

  ORV::Test::TempDir work;
  const std::size_t beforeSave = rig.boxes.Shown().size();
  rig.dialogs.Answer(work / "vessel");
  ASSERT_TRUE(rig.Router().Execute(kFileSaveAs));
  EXPECT_EQ(rig.BoxTexts(beforeSave), std::vector<std::string>{});
  ASSERT_TRUE(fs::exists(work / "vessel.tvx"));
  EXPECT_FALSE(fs::exists(work / "vessel_0.avi"));
  EXPECT_FALSE(experiment.modified.load());

  rig.dialogs.Answer(work / "vessel.tvx");
  ASSERT_TRUE(rig.Router().Execute(kFileOpen));
  ASSERT_EQ(experiment.mode.load(), kModeFile);
  EXPECT_EQ(PressureTimes(experiment).size(), recorded);
  experiment.Read([](const ExperimentContents& c) {
    EXPECT_EQ(c.videoFiles[0], "");
    EXPECT_EQ(c.videoFiles[1], "");
    return 0;
  });
  ASSERT_TRUE(rig.Router().Execute(kFileClose));
}

}  // namespace
}  // namespace ORV::E2E
