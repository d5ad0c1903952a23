#include "platform/os/file_replace.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/os/file_io.h"
#include "platform/os/folders.h"
#include "tests/support/test_support.h"

namespace ORV::OS {
namespace {

std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  return names;
}

TEST(FileReplacement, TemporaryNamesFitTheFileSystemsLimit) {
  struct Case {
    const char* what;
    std::string target;
    std::string expected;
  };
  const std::string cut(NAME_MAX - 11, 'n');
  const Case cases[] = {
      {"short name kept whole", "book.xlsx", ".book.xlsx.tmpXXXXXX"},
      {"longest name kept whole", cut, "." + cut + ".tmpXXXXXX"},
      {"longer name cut", std::string(NAME_MAX, 'n'), "." + cut + ".tmpXXXXXX"},
      // A two-byte character across the cut is dropped whole.
      {"cut at a character boundary", std::string(NAME_MAX - 12, 'n') + "\xC3\xA9" + "tail",
       "." + std::string(NAME_MAX - 12, 'n') + ".tmpXXXXXX"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string name = ReplacementTempName(c.target);
    EXPECT_EQ(name, c.expected);
    EXPECT_LE(name.size(), static_cast<std::size_t>(NAME_MAX));
  }
}

TEST(FileReplacement, ReplacesFilesWithTheLongestNames) {
  ORV::Test::TempDir dir;
  for (std::size_t length : {std::size_t{250}, std::size_t{NAME_MAX}}) {
    SCOPED_TRACE(length);
    const std::string target = dir / std::string(length, 'f');
    ASSERT_TRUE(AtomicWriteFile(target, std::string_view("first")));
    ASSERT_TRUE(AtomicWriteFile(target, std::string_view("second")));
    std::string text;
    ASSERT_TRUE(ReadFile(target, text));
    EXPECT_EQ(text, "second");
    ASSERT_TRUE(std::filesystem::remove(target));
  }
  EXPECT_EQ(NamesIn(dir.path()), std::vector<std::string>{});
}

TEST(FileReplacement, AnUnfinishedReplacementLeavesTheTargetAndNoTemporaryFile) {
  ORV::Test::TempDir dir;
  const std::string target = dir / "kept.dat";
  ASSERT_TRUE(AtomicWriteFile(target, std::string_view("old")));
  {
    FileReplacement dropped(target);
    ASSERT_TRUE(dropped.IsOpen());
    ASSERT_EQ(WriteAll(dropped.Descriptor(), "new", 3), 3u);
  }
  {
    FileReplacement flushedOnly(target);
    ASSERT_EQ(WriteAll(flushedOnly.Descriptor(), "new", 3), 3u);
    ASSERT_TRUE(flushedOnly.Flush());
  }
  std::string text;
  ASSERT_TRUE(ReadFile(target, text));
  EXPECT_EQ(text, "old");
  EXPECT_EQ(NamesIn(dir.path()), std::vector<std::string>{"kept.dat"});

  // Flushed first, committed after: the new content is in place.
  FileReplacement replacement(target);
  ASSERT_EQ(WriteAll(replacement.Descriptor(), "new", 3), 3u);
  ASSERT_TRUE(replacement.Flush());
  ASSERT_TRUE(replacement.Commit());
  ASSERT_TRUE(ReadFile(target, text));
  EXPECT_EQ(text, "new");
  EXPECT_FALSE(replacement.Commit()) << "a replacement commits once";
  EXPECT_EQ(NamesIn(dir.path()), std::vector<std::string>{"kept.dat"});
}

}  // namespace
}  // namespace ORV::OS
