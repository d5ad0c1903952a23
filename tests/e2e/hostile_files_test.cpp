// Hostile files through the program's own open paths, on the simulated lab:
// File > Open and the command line (the desktop's open of a file) for
// experiments, Load User Config and the command line for settings archives.
// Each file that is cut short, altered, oversized, empty, a folder, a named
// pipe, a loop of links or unreadable gets a message that names it and says
// what is wrong, the program goes on at once (a pipe is never waited on),
// and the experiment that is open stays as it was.
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/os/folders.h"
#include "tests/e2e/program_rig.h"

namespace ORV::E2E {
namespace {

namespace fs = std::filesystem;
using namespace FrameCommand;

// While it lives, this thread (the program's user-interface thread) reads
// only what the file permissions allow, as any user does: root's rights to
// read everything are set aside. Nothing happens when not root.
class WithoutRootsReading {
 public:
  WithoutRootsReading() {
    if (::geteuid() != 0) return;
    header_.version = _LINUX_CAPABILITY_VERSION_3;
    if (::syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
    lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    active_ = ::syscall(SYS_capset, &header_, lowered) == 0;
  }
  ~WithoutRootsReading() {
    if (active_) ::syscall(SYS_capset, &header_, saved_);
  }

 private:
  __user_cap_header_struct header_{};
  __user_cap_data_struct saved_[2]{};
  bool active_ = false;
};

std::vector<char> Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
void Write(const std::string& path, const std::vector<char>& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
void PutU32(std::vector<char>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}
std::uint32_t GetU32(const std::vector<char>& bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  return v;
}

// What the open experiment is, to see it unchanged.
struct Shown {
  std::uint32_t mode;
  std::size_t pressures;
  std::string path;
  bool operator==(const Shown&) const = default;
};
void PrintTo(const Shown& s, std::ostream* out) {
  *out << "mode " << s.mode << ", " << s.pressures << " pressure samples, file '" << s.path << "'";
}
Shown ShownOf(ExperimentData& e) {
  return {e.mode.load(), PressureTimes(e).size(), e.Read([](const ExperimentContents& c) { return c.filePath; })};
}

TEST(HostileFiles, EachOpenPathNamesTheFileAndWhatIsWrongAndLeavesTheOpenExperiment) {
  ProgramRig rig;
  ASSERT_TRUE(rig.Up());
  ExperimentData& experiment = rig.Experiment();
  ORV::Test::TempDir dir;
  ::chmod(dir.path().c_str(), 0755);

  // ---- a short experiment, saved and open, and a settings archive ----
  rig.StartCollection();
  ASSERT_TRUE(WaitFor([&] { return PressureTimes(experiment).size() > 30; }));
  rig.StopCollection();
  const std::string good = dir / "good";
  rig.dialogs.Answer(good);
  ASSERT_TRUE(rig.Router().Execute(kFileSaveAs));
  rig.dialogs.Answer(good + ".tvx");
  ASSERT_TRUE(rig.Router().Execute(kFileOpen));
  ASSERT_EQ(experiment.mode.load(), kModeFile);
  const Shown open = ShownOf(experiment);
  ASSERT_GT(open.pressures, 30u);
  const std::string archive = dir / "good.orvsettings";
  rig.dialogs.Answer(archive);
  ASSERT_TRUE(rig.Router().Execute(kSaveSettings));
  ASSERT_TRUE(fs::exists(archive));

  // ---- the hostile files ----
  const std::vector<char> experimentBytes = Bytes(good + ".tvx");
  const std::vector<char> archiveBytes = Bytes(archive);
  {
    // Cut within the pressure samples, which an experiment cannot do
    // without; and cut within the videos' index pictures, after which the
    // rest is read.
    const std::uint32_t pressures = GetU32(experimentBytes, 6 + 4 * 4);
    Write(dir / "truncated.tvx", {experimentBytes.begin(), experimentBytes.begin() + pressures + 12});
    const std::uint32_t indexPictures = GetU32(experimentBytes, 6 + 4 * 9);
    Write(dir / "cut-late.tvx", {experimentBytes.begin(), experimentBytes.begin() + indexPictures + 2});
    std::vector<char> altered = experimentBytes;
    altered[94] = static_cast<char>(200);  // the camera count
    Write(dir / "altered.tvx", altered);
    std::vector<char> oversized = experimentBytes;
    const std::uint32_t pressureBlock = GetU32(experimentBytes, 6 + 4 * 4);
    PutU32(oversized, pressureBlock, 0x7FFFFF00u);  // the pressure block claims 2 GB
    Write(dir / "oversized.tvx", oversized);
    std::vector<char> cutArchive(archiveBytes.begin(), archiveBytes.begin() + archiveBytes.size() / 2 / 16 * 16);
    Write(dir / "truncated.orvsettings", cutArchive);
    std::vector<char> damagedArchive = archiveBytes;
    damagedArchive[archiveBytes.size() / 2] ^= 0x5A;
    Write(dir / "altered.orvsettings", damagedArchive);
  }
  for (const char* name : {"empty.tvx", "empty.orvsettings"}) std::ofstream(dir / name);
  for (const char* name : {"folder.tvx", "folder.orvsettings"}) fs::create_directory(dir / name);
  for (const char* name : {"pipe.tvx", "pipe.orvsettings"}) ASSERT_EQ(::mkfifo((dir / name).c_str(), 0644), 0);
  ASSERT_EQ(::symlink("loop-b.tvx", (dir / "loop-a.tvx").c_str()), 0);
  ASSERT_EQ(::symlink("loop-a.tvx", (dir / "loop-b.tvx").c_str()), 0);
  for (const char* name : {"secret.tvx", "secret.orvsettings"}) {
    fs::copy_file(good + ".tvx", dir / name);
    ::chmod((dir / name).c_str(), 0000);
  }

  const std::string damaged = "it is damaged (cut short or altered) or is not an experiment file.";
  const std::string damagedArchiveText = "it is damaged or is not a settings archive.";
  const struct {
    const char* name;
    std::string reason;
  } cases[] = {
      {"truncated.tvx", damaged},
      {"altered.tvx", damaged},
      {"oversized.tvx", damaged},
      {"empty.tvx", "it is empty."},
      {"folder.tvx", "it is a folder, not a file."},
      {"pipe.tvx", "it is a pipe, a device or a socket, not a file."},
      {"loop-a.tvx", "its symbolic links lead round in a circle."},
      {"secret.tvx", "you are not allowed to read it."},
      {"missing.tvx", "it does not exist."},
      {"truncated.orvsettings", damagedArchiveText},
      {"altered.orvsettings", damagedArchiveText},
      {"empty.orvsettings", "it is empty."},
      {"folder.orvsettings", "it is a folder, not a file."},
      {"pipe.orvsettings", "it is a pipe, a device or a socket, not a file."},
      {"secret.orvsettings", "you are not allowed to read it."},
  };
  for (const auto& c : cases) {
    const std::string path = dir / c.name;
    const bool settings = path.ends_with(".orvsettings");
    const std::string told = (settings ? "The settings archive \"" : "The file \"") + path + "\" could not " +
                             (settings ? "be loaded: " : "be opened: ") + c.reason;
    for (const char* way : {"menu", "command line"}) {
      SCOPED_TRACE(std::string(c.name) + " by the " + way);
      const std::size_t before = rig.boxes.Shown().size();
      {
        WithoutRootsReading asAnyUser;
        if (std::string(way) == "menu") {
          rig.dialogs.Answer(path);
          rig.Router().Execute(settings ? kLoadSettings : kFileOpen);
        } else {
          rig.App().OpenCommandLine({path});
        }
      }
      EXPECT_EQ(rig.BoxTexts(before), std::vector<std::string>{told});
      EXPECT_EQ(ShownOf(experiment), open) << "the open experiment stays";
      EXPECT_FALSE(rig.Frame().IsClosed());
    }
  }

  // A path at the root is a file, not a switch.
  const std::size_t before = rig.boxes.Shown().size();
  rig.App().OpenCommandLine({"/orv-no-such-experiment.tvx"});
  EXPECT_EQ(rig.BoxTexts(before), std::vector<std::string>{"The file \"/orv-no-such-experiment.tvx\" could not be "
                                                           "opened: it does not exist."});
  EXPECT_EQ(ShownOf(experiment), open);
  // The good files still open.
  rig.dialogs.Answer(good + ".tvx");
  ASSERT_TRUE(rig.Router().Execute(kFileOpen));
  EXPECT_EQ(ShownOf(experiment), open);

  // A file cut short within its videos' index pictures opens with what
  // comes before the cut, and says which parts it could not read.
  const std::string truncated = dir / "cut-late.tvx";
  const std::size_t partly = rig.boxes.Shown().size();
  rig.dialogs.Answer(truncated);
  ASSERT_TRUE(rig.Router().Execute(kFileOpen));
  EXPECT_EQ(ShownOf(experiment), (Shown{kModeFile, open.pressures, truncated}));
  EXPECT_EQ(rig.BoxTexts(partly),
            std::vector<std::string>{
                "Parts of the experiment file \"" + truncated +
                "\" could not be read: the videos' index pictures; the experiment clock's pauses; the calibration (the "
                "configured one "
                "is used) (the file is damaged).\nThe rest of the experiment is shown. Saving it under the same name "
                "would drop the parts that could not be read; use Save As to keep the file as it is."});
}

}  // namespace
}  // namespace ORV::E2E
