#include "platform/os/folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/support/test_support.h"

namespace ORV::OS {
namespace {

TEST(Folders, ProductFoldersFollowTheXdgVariables) {
  ORV::Test::SandboxedHome home;
  const std::string r = home.root();
  EXPECT_EQ(MakerConfigDir(), r + "/home/.config/Orvanta");
  EXPECT_EQ(ProductConfigDir(), r + "/home/.config/Orvanta/Tarvix 5");
  EXPECT_EQ(ProductDataDir(), r + "/home/.local/share/Orvanta/Tarvix 5");
  EXPECT_EQ(ProductStateDir(), r + "/home/.local/state/Orvanta/Tarvix 5");
  EXPECT_EQ(TempDir(), r + "/tmp");

  // Relative values are ignored, as the XDG rules say.
  setenv("XDG_STATE_HOME", "relative/state", 1);
  EXPECT_EQ(StateHome(), r + "/home/.local/state");
}

TEST(Folders, InstalledDataLiesBesideAnInstalledProgram) {
  EXPECT_EQ(InstalledDataDirOf("/opt/lab/bin"), "/opt/lab/share/tarvix5");
  EXPECT_EQ(InstalledDataDirOf("/usr/bin"), "/usr/share/tarvix5");
  const std::string buildTime = InstalledDataDirOf("/home/u/tarvix/build/release/shell");
  EXPECT_TRUE(buildTime.ends_with("/share/tarvix5")) << buildTime;
  EXPECT_EQ(InstalledDataDirOf(""), buildTime);
}

TEST(Folders, WorkingFoldersArePrivateAndNew) {
  ORV::Test::SandboxedHome home;
  const std::string a = MakePrivateWorkingDir("orv-work-");
  const std::string b = MakePrivateWorkingDir("orv-work-");
  ASSERT_FALSE(a.empty());
  EXPECT_NE(a, b);
  EXPECT_EQ(a.rfind(home.root() + "/tmp/orv-work-", 0), 0u) << a;
  EXPECT_EQ(ORV::Test::FileMode(a), 0700u);
}

TEST(Folders, PrivateFolderIsMadeOrTightenedButNeverALink) {
  ORV::Test::TempDir dir;
  const std::string made = dir / "a/b/ORV-TX5";
  ASSERT_TRUE(EnsurePrivateDir(made));
  EXPECT_EQ(ORV::Test::FileMode(made), 0700u);

  const std::string open = dir / "open";
  ASSERT_EQ(::mkdir(open.c_str(), 0777), 0);
  ASSERT_EQ(::chmod(open.c_str(), 0777), 0);
  ASSERT_TRUE(EnsurePrivateDir(open));
  EXPECT_EQ(ORV::Test::FileMode(open), 0700u);

  // A link planted where the folder should be is refused, and its target is
  // left as it was.
  const std::string target = dir / "elsewhere";
  ASSERT_EQ(::mkdir(target.c_str(), 0755), 0);
  const std::string link = dir / "link";
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  EXPECT_FALSE(EnsurePrivateDir(link));
  EXPECT_EQ(ORV::Test::FileMode(target), 0755u);

  const std::string file = dir / "file";
  ASSERT_TRUE(AtomicWriteFile(file, std::string_view("x")));
  EXPECT_FALSE(EnsurePrivateDir(file));
}

TEST(Folders, AtomicWriteReplacesTheFileAndKeepsItsMode) {
  ORV::Test::TempDir dir;
  const std::string file = dir / "settings.dat";
  ASSERT_TRUE(AtomicWriteFile(file, std::string_view("first")));
  EXPECT_EQ(ORV::Test::FileMode(file), kNewFileMode) << "new files get the one documented mode";
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  ASSERT_TRUE(AtomicWriteFile(file, std::string_view("second, longer")));
  std::string text;
  ASSERT_TRUE(ReadFile(file, text));
  EXPECT_EQ(text, "second, longer");
  EXPECT_EQ(ORV::Test::FileMode(file), 0640u);
  EXPECT_FALSE(ReadFile(file, text, 3)) << "larger than the limit";
  EXPECT_FALSE(AtomicWriteFile(dir / "missing/settings.dat", std::string_view("x")));
}

TEST(Folders, RemoveTreeDoesNotFollowLinks) {
  ORV::Test::TempDir dir;
  const std::string outside = dir / "outside";
  ASSERT_TRUE(EnsureDir(outside));
  ASSERT_TRUE(AtomicWriteFile(outside + "/keep", std::string_view("x")));
  const std::string tree = dir / "tree";
  ASSERT_TRUE(EnsureDir(tree + "/sub"));
  ASSERT_EQ(::symlink(outside.c_str(), (tree + "/sub/link").c_str()), 0);
  EXPECT_TRUE(RemoveTree(tree));
  EXPECT_FALSE(PathExists(tree));
  EXPECT_TRUE(PathExists(outside + "/keep"));
  EXPECT_TRUE(RemoveTree(tree)) << "a missing path is success";
}

}  // namespace
}  // namespace ORV::OS
