// Opening a file the user named, whatever the path turns out to be: every
// kind of path that is no readable file is refused with its reason, at once
// (a named pipe is never waited on), and a readable file opens.
#include "platform/os/user_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "platform/os/folders.h"
#include "tests/support/test_support.h"

namespace ORV::OS {
namespace {

// The check as an ordinary user sees it: run in a child that has given up
// root's right to read everything (nothing changes when not root).
FileProblem CheckAsUser(const std::string& path) {
  if (::geteuid() != 0) return CheckUserFile(path).problem;
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return FileProblem::Unreadable;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeFds[0]);
    const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
    const int problem = dropped ? static_cast<int>(CheckUserFile(path).problem) : -1;
    [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], &problem, sizeof problem);
    ::_exit(0);
  }
  ::close(pipeFds[1]);
  int problem = -1;
  const bool read = ::read(pipeFds[0], &problem, sizeof problem) == sizeof problem;
  ::close(pipeFds[0]);
  ::waitpid(child, nullptr, 0);
  EXPECT_TRUE(read && problem >= 0) << "the check as another user did not run";
  return static_cast<FileProblem>(problem);
}

TEST(UserFile, EveryPathThatIsNoReadableFileIsRefusedWithItsReason) {
  ORV::Test::TempDir dir;
  // Another user must be able to reach the files for the unreadable case.
  ::chmod(dir.path().c_str(), 0755);
  std::ofstream(dir / "good.tvx") << "some bytes";
  std::ofstream(dir / "empty.tvx");
  std::ofstream(dir / "large.seq") << std::string(2048, 'x');
  std::ofstream(dir / "secret.tvx") << "private";
  ::chmod((dir / "secret.tvx").c_str(), 0000);
  ::mkdir((dir / "folder.tvx").c_str(), 0755);
  ASSERT_EQ(::mkfifo((dir / "pipe.tvx").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("loop-b.tvx", (dir / "loop-a.tvx").c_str()), 0);
  ASSERT_EQ(::symlink("loop-a.tvx", (dir / "loop-b.tvx").c_str()), 0);
  ASSERT_EQ(::symlink("good.tvx", (dir / "link.tvx").c_str()), 0);

  const struct {
    const char* name;
    FileProblem problem;
  } cases[] = {
      {"good.tvx", FileProblem::None},       {"link.tvx", FileProblem::None},
      {"missing.tvx", FileProblem::Missing}, {"empty.tvx", FileProblem::Empty},
      {"folder.tvx", FileProblem::Folder},   {"pipe.tvx", FileProblem::NotAFile},
      {"loop-a.tvx", FileProblem::LinkLoop}, {"large.seq", FileProblem::TooLarge},
      {"good.tvx/x", FileProblem::Missing},
  };
  for (const auto& c : cases) {
    const FileCheck check = CheckUserFile(dir / c.name, 1024);
    EXPECT_EQ(check.problem, c.problem) << c.name;
  }
  EXPECT_EQ(CheckUserFile(dir / "large.seq").problem, FileProblem::None) << "no limit";
  EXPECT_EQ(CheckUserFile("").problem, FileProblem::Missing);
  EXPECT_EQ(CheckUserFile("/dev/null").problem, FileProblem::NotAFile);
  EXPECT_EQ(CheckAsUser(dir / "secret.tvx"), FileProblem::NotAllowed);

  // A file that opens is read through the descriptor, and by its path.
  FileCheck check;
  const int fd = OpenUserFile(dir / "good.tvx", 0, check);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(check.size, 10u);
  std::ifstream again(DescriptorPath(fd));
  std::string text;
  std::getline(again, text);
  EXPECT_EQ(text, "some bytes");
  char byte = 0;
  EXPECT_EQ(::read(fd, &byte, 1), 1) << "reads of the file block as they should";
  ::close(fd);
}

TEST(UserFile, ReadFileRefusesANamedPipeWithoutWaitingForAWriter) {
  ORV::Test::TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe.seq").c_str(), 0600), 0);
  std::string text = "stale";
  EXPECT_FALSE(ReadFile(dir / "pipe.seq", text, 1 << 20));
  EXPECT_TRUE(text.empty());
  // An empty regular file reads as empty; one over the limit is refused.
  std::ofstream(dir / "empty.seq");
  EXPECT_TRUE(ReadFile(dir / "empty.seq", text, 16));
  std::ofstream(dir / "big.seq") << std::string(17, 'x');
  EXPECT_FALSE(ReadFile(dir / "big.seq", text, 16));
  EXPECT_TRUE(ReadFile(dir / "big.seq", text, 17));
  EXPECT_EQ(text.size(), 17u);
}

}  // namespace
}  // namespace ORV::OS
