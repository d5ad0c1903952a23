// The saves the frame asks for itself, before a new collection and at the
// close, on the whole program: each is File > Save's own, so the details are
// asked, the file named is written, and a save that fails is told (naming
// the file and the reason) and keeps the program, the record and the
// running backup as they were.
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/os/file_io.h"
#include "platform/os/folders.h"
#include "tests/e2e/program_rig.h"

namespace ORV::E2E {
namespace {

namespace fs = std::filesystem;
using namespace FrameCommand;

TEST(FrameSaves, TheNewCollectionsAndTheClosesSaveAreFileSaves) {
  ProgramRig rig;
  ASSERT_TRUE(rig.Up());
  ExperimentData& experiment = rig.Experiment();
  ORV::Test::TempDir work;

  rig.StartCollection();
  ASSERT_TRUE(WaitFor([&] { return PressureTimes(experiment).size() > 20; }));
  rig.StopCollection();
  ASSERT_TRUE(experiment.modified.load());
  const auto first = PressureTimes(experiment);

  // ---- a new collection: Yes to "save first?" is Save As ----
  const std::string saved = work / "first";
  const int details = rig.answers.experimentDetails;
  const std::size_t fileDialogs = rig.dialogs.Asked().size();
  rig.boxes.Answer(UI::IDYES);
  rig.dialogs.Answer(saved);
  rig.StartCollection();
  EXPECT_EQ(rig.answers.experimentDetails, details + 1) << "the details are asked";
  EXPECT_EQ(rig.dialogs.Asked().size(), fileDialogs + 1);
  ASSERT_TRUE(fs::exists(saved + ".tvx"));
  ASSERT_TRUE(WaitFor([&] { return PressureTimes(experiment).size() > 20; }));
  rig.StopCollection();
  ASSERT_TRUE(experiment.modified.load());
  const auto second = PressureTimes(experiment);
  const std::string backup = experiment.BackupFolder();

  // ---- the close: Yes saves; a save that fails is told, and the program
  // stays open with its changes and its running backup ----
  const std::string disk = work / "full";
  ASSERT_TRUE(OS::EnsureDir(disk));
  OS::SetWriteFault(disk, ENOSPC);
  const std::size_t boxes = rig.boxes.Shown().size();
  rig.boxes.Answer(UI::IDYES);
  rig.dialogs.Answer(disk + "/second");
  EXPECT_FALSE(rig.Frame().close());
  OS::ClearWriteFaults();
  EXPECT_EQ(rig.answers.experimentDetails, details + 2);
  const std::string told = "Failed to save experiment to file \"" + disk + "/second.tvx\": " + std::strerror(ENOSPC);
  EXPECT_EQ(rig.BoxesWith(told, boxes), 1) << ::testing::PrintToString(rig.BoxTexts(boxes));
  EXPECT_FALSE(rig.Frame().IsClosed());
  EXPECT_TRUE(experiment.modified.load());
  EXPECT_EQ(PressureTimes(experiment), second);
  EXPECT_TRUE(fs::exists(backup + "/ExperimentBackup.idx")) << "the running backup stays";

  // ---- the file saved before the second collection holds the first ----
  rig.boxes.Answer(UI::IDNO);
  rig.dialogs.Answer(saved + ".tvx");
  ASSERT_TRUE(rig.Router().Execute(kFileOpen));
  ASSERT_EQ(experiment.mode.load(), kModeFile);
  EXPECT_EQ(PressureTimes(experiment), first);
}

}  // namespace
}  // namespace ORV::E2E
