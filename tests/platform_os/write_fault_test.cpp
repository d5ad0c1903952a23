// A folder made to fail writes as a full or read-only disk does: the writes,
// replacements and folders of the program under it fail with that disk's
// error, nothing outside it is touched, and clearing the fault ends it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "platform/os/file_io.h"
#include "platform/os/file_replace.h"
#include "platform/os/folders.h"
#include "tests/support/test_support.h"

namespace ORV::OS {
namespace {

std::string Read(const std::string& path) {
  std::string text;
  ReadFile(path, text);
  return text;
}

TEST(WriteFault, AFullOrReadOnlyFolderFailsItsWritesAndNothingElse) {
  ORV::Test::TempDir dir;
  const std::string faulty = dir / "disk";
  ASSERT_TRUE(EnsureDir(faulty));
  ASSERT_TRUE(AtomicWriteFile(faulty + "/old.tvx", std::string_view("previous")));
  const int open = ::open((faulty + "/stream.dta").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(open, 0);
  ASSERT_EQ(WriteAll(open, "ab", 2), 2u);

  struct Case {
    int error;
    bool newFiles;  // a file can still be made
  };
  for (const Case c : {Case{ENOSPC, true}, Case{EROFS, false}}) {
    SCOPED_TRACE(c.error);
    SetWriteFault(faulty + "/", c.error);
    EXPECT_EQ(WriteFaultAt(faulty + "/new/file"), c.error);
    EXPECT_EQ(WriteFaultAt(dir / "elsewhere"), 0);
    errno = 0;
    EXPECT_EQ(WriteAll(open, "cd", 2), 0u) << "an open file on that disk";
    EXPECT_EQ(errno, c.error);
    EXPECT_FALSE(WriteAllAt(open, "x", 1, 0));
    EXPECT_FALSE(AtomicWriteFile(faulty + "/old.tvx", std::string_view("new content")));
    EXPECT_EQ(Read(faulty + "/old.tvx"), "previous") << "a failed replacement leaves the file as it was";
    FileReplacement replacement(faulty + "/made.tvx");
    EXPECT_EQ(replacement.IsOpen(), c.newFiles);
    EXPECT_EQ(EnsureDir(faulty + "/sub" + std::to_string(c.error)), c.newFiles);
    EXPECT_TRUE(AtomicWriteFile(dir / "elsewhere.tvx", std::string_view("fine"))) << "other folders write";
  }
  ClearWriteFaults();
  EXPECT_EQ(WriteAll(open, "ef", 2), 2u);
  EXPECT_TRUE(AtomicWriteFile(faulty + "/old.tvx", std::string_view("new content")));
  ::close(open);
  EXPECT_EQ(Read(faulty + "/stream.dta"), "abef");
  EXPECT_EQ(Read(faulty + "/old.tvx"), "new content");
}

// A disk that fills: the files under the folder take the room left between
// them; the write that goes beyond puts in what fits and fails with the
// disk's reason, and so does every later one, also a replacement's flush.
TEST(WriteFault, AFillingFolderTakesItsRoomAndThenFails) {
  ORV::Test::TempDir dir;
  const std::string disk = dir / "disk";
  ASSERT_TRUE(EnsureDir(disk));
  ASSERT_TRUE(AtomicWriteFile(disk + "/old.tvx", std::string_view("previous")));
  SetWriteFault(disk, ENOSPC, 10);
  const int a = ::open((disk + "/a").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  const int b = ::open((disk + "/b").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  EXPECT_EQ(FreeBytes(disk), std::optional<std::uint64_t>(10));
  EXPECT_EQ(WriteAll(a, "123456", 6), 6u);
  EXPECT_EQ(WriteFaultAt(disk + "/a"), 0) << "room is left";
  EXPECT_EQ(FreeBytes(disk + "/a"), std::optional<std::uint64_t>(4)) << "what is left, seen from within";
  EXPECT_GT(FreeBytes(dir.path()).value_or(0), 10u) << "the disk's own free space elsewhere";
  errno = 0;
  EXPECT_EQ(WriteAll(b, "abcdef", 6), 4u) << "what fits goes in";
  EXPECT_EQ(errno, ENOSPC);
  EXPECT_EQ(WriteFaultOf(a), ENOSPC);
  EXPECT_EQ(FreeBytes(disk), std::optional<std::uint64_t>(0));
  errno = 0;
  EXPECT_FALSE(WriteAllAt(a, "x", 1, 0));
  EXPECT_EQ(errno, ENOSPC);
  errno = 0;
  EXPECT_FALSE(AtomicWriteFile(disk + "/old.tvx", std::string_view("new content")));
  EXPECT_EQ(errno, ENOSPC) << "the reason outlasts the clean-up";
  ClearWriteFaults();
  ::close(a);
  ::close(b);
  EXPECT_EQ(Read(disk + "/a"), "123456");
  EXPECT_EQ(Read(disk + "/b"), "abcd");
  EXPECT_EQ(Read(disk + "/old.tvx"), "previous");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(disk), std::filesystem::directory_iterator()), 3)
      << "no temporary file is left";
}

// A disk that takes the bytes and refuses them at the flush to disk: the
// replacement fails with that reason and leaves the earlier file.
TEST(WriteFault, AFolderThatRefusesTheFlushFailsTheReplacement) {
  ORV::Test::TempDir dir;
  const std::string disk = dir / "disk";
  ASSERT_TRUE(EnsureDir(disk));
  ASSERT_TRUE(AtomicWriteFile(disk + "/old.tvx", std::string_view("previous")));
  SetFlushFault(disk, ENOSPC);
  const int fd = ::open((disk + "/a").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(WriteAll(fd, "abc", 3), 3u) << "the writes go in";
  EXPECT_EQ(WriteFaultOf(fd), 0);
  errno = 0;
  EXPECT_FALSE(FlushToDisk(fd));
  EXPECT_EQ(errno, ENOSPC);
  ::close(fd);
  errno = 0;
  EXPECT_FALSE(AtomicWriteFile(disk + "/old.tvx", std::string_view("new content")));
  EXPECT_EQ(errno, ENOSPC);
  ClearWriteFaults();
  EXPECT_EQ(Read(disk + "/old.tvx"), "previous");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(disk), std::filesystem::directory_iterator()), 2)
      << "no temporary file is left";
}

}  // namespace
}  // namespace ORV::OS
