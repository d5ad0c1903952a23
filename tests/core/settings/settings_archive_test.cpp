#include "core/settings/settings_archive.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/os/folders.h"
#include "tests/core/settings/settings_fixtures.h"

namespace ORV {
namespace {

using ORV::Test::Bytes;
using ORV::Test::MakePack;
using ORV::Test::RawEntry;
using ORV::Test::TempDir;

std::string Str(const Bytes& b) { return std::string(b.begin(), b.end()); }

// Entry bytes without the magic in front.
Bytes Entries(const std::vector<RawEntry>& entries) {
  const Bytes pack = MakePack(entries);
  return Bytes(pack.begin() + sizeof kSettingsPackMagic, pack.end());
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(SettingsPack, WritesTheMagicAndEachEntryHeaderAsFixed) {
  TempDir work;
  const SettingsArchiveEntry workspace(SettingsEntryType::Workspace, "Workspace.xml");
  ASSERT_TRUE(OS::EnsureDir(SettingsEntryFolder(work.path(), workspace.type)));
  const std::string data(300, 'w');
  ORV::Test::WriteAll(SettingsEntryPath(work.path(), workspace), data);
  // The open-views file has vanished before packing: packed empty.
  const SettingsArchiveEntry views(SettingsEntryType::OpenViews, "Tarvix.xml");

  ASSERT_EQ(PackSettingsEntries(work.path(), {workspace, views}, work / "TMPArchive"), kSettingsOk);

  Bytes expected = {0x4F, 0x52, 0x56, 0x00, 0x01, 0x02, 0x03, 0x04, 0x01, 0x0D, 0x00, 0x57, 0x6F, 0x72, 0x6B, 0x73,
                    0x70, 0x61, 0x63, 0x65, 0x2E, 0x78, 0x6D, 0x6C, 0x2C, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  expected.insert(expected.end(), data.begin(), data.end());
  const Bytes tail = {0x03, 0x0A, 0x00, 'T', 'a', 'r', 'v', 'i', 'x', '.', 'x', 'm', 'l', 0, 0, 0, 0, 0, 0, 0, 0};
  expected.insert(expected.end(), tail.begin(), tail.end());
  EXPECT_EQ(ORV::Test::ReadBytes(work / "TMPArchive"), expected);
  EXPECT_TRUE(OS::PathExists(SettingsEntryPath(work.path(), views)));
}

TEST(SettingsPack, LengthPrefixedNames) {
  VectorSerializationStream out;
  ASSERT_TRUE(WriteLengthPrefixedUtf8(out, "Größe µm.lua"));
  EXPECT_EQ(out.Data()[0], 15);  // bytes, not characters
  EXPECT_EQ(out.Data()[1], 0);
  EXPECT_FALSE(WriteLengthPrefixedUtf8(out, std::string(0x8000, 'a')));  // would read back negative
  EXPECT_EQ(out.Size(), 17u);

  struct Case {
    const char* what;
    std::string bytes;
    bool ok;
    std::string text;
    int nextByte;  // what the stream reads after the field
  };
  const std::string utf8 =
      "Gr\xC3\xB6\xC3\x9F"
      "e";
  const Case cases[] = {
      {"UTF-8 text", std::string("\x07\x00", 2) + utf8 + "!", true, utf8, '!'},
      {"count 0 reads nothing more",
       std::string("\x00\x00"
                   "ab",
                   4),
       true, "", 'a'},
      {"count 0x8000 is negative",
       std::string("\x00\x80"
                   "ab",
                   4),
       true, "", 'a'},
      {"count 0xFFFF is negative",
       std::string("\xFF\xFF"
                   "ab",
                   4),
       true, "", 'a'},
      {"malformed UTF-8 becomes U+FFFD", std::string("\x02\x00\xC3(", 4), true, "\xEF\xBF\xBD(", -1},
      {"text cut short",
       std::string("\x05\x00"
                   "ab",
                   4),
       false, "", -1},
      {"count cut short", std::string("\x05", 1), false, "", -1},
  };
  for (const auto& c : cases) {
    std::istringstream in(c.bytes);
    std::string text = "old";
    EXPECT_EQ(ReadLengthPrefixedUtf8(in, text), c.ok) << c.what;
    if (c.ok) {
      EXPECT_EQ(text, c.text) << c.what;
      EXPECT_EQ(in.get(), c.nextByte) << c.what;
    }
  }
}

TEST(SettingsPack, BareFileNames) {
  const std::pair<std::string, bool> cases[] = {
      {"Workspace.xml", true},
      {"a b.lua", true},
      {".hidden", true},
      {"Größe.lua", true},
      {std::string(255, 'a'), true},
      {std::string(256, 'a'), false},
      {"", false},
      {".", false},
      {"..", false},
      {"../x", false},
      {"a/b", false},
      {"a\\b", false},
      {"/abs", false},
      {std::string("a\0b", 3), false},
  };
  for (const auto& [name, ok] : cases) EXPECT_EQ(IsBareFileName(name), ok) << name;
}

struct UnpackCase {
  const char* what;
  Bytes pack;
  int result;
  std::vector<RawEntry> entries;  // what is unpacked, in order
  UnpackLimits limits = {};
};

// Raw bytes of a header whose name field is given as it lies in the pack.
Bytes RawHeader(std::uint8_t type, const Bytes& nameField) {
  Bytes b(nameField.size() + 1, type);
  std::copy(nameField.begin(), nameField.end(), b.begin() + 1);
  return b;
}

TEST(SettingsUnpack, EntriesAndWhatEndsOrSkipsThem) {
  const RawEntry ws{1, "Workspace.xml", "<Workspace/>"};
  const RawEntry lua{2, "a.lua", "return 1"};
  const Bytes magic = MakePack({});
  UnpackLimits small;
  small.maxEntryBytes = 4;
  UnpackLimits few;
  few.maxEntries = 2;
  UnpackLimits total;
  total.maxTotalBytes = 6;

  const std::vector<UnpackCase> cases = {
      {"only the magic", magic, kSettingsOk, {}},
      {"wrong magic", Bytes{'O', 'R', 'V', 0, 1, 2, 3, 5, 1}, kImportNoValidEntry, {}},
      {"short magic", Bytes{'O', 'R', 'V', 0}, kImportNoValidEntry, {}},
      {"empty data", Bytes{}, kImportNoValidEntry, {}},
      {"two entries", MakePack({ws, lua}), kSettingsOk, {ws, lua}},
      {"type 0 ends", Concat(MakePack({ws}), Entries({{0, "x", "y"}, lua})), kSettingsOk, {ws}},
      {"type 4 ends", Concat(MakePack({ws}), Bytes{4, 1, 0, 'x'}), kSettingsOk, {ws}},
      {"name length 0 ends", Concat(MakePack({ws}), RawHeader(2, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0})), kSettingsOk, {ws}},
      {"name length 32768 ends", Concat(MakePack({ws}), RawHeader(2, {0x00, 0x80, 'a', 'b'})), kSettingsOk, {ws}},
      {"size field cut short", Concat(MakePack({ws}), RawHeader(2, {1, 0, 'b', 3, 0, 0})), kSettingsOk, {ws}},
      {"data cut short",
       Concat(MakePack({ws}), RawHeader(2, {1, 0, 'b', 100, 0, 0, 0, 0, 0, 0, 0, 'x', 'y'})),
       kSettingsOk,
       {ws}},
      {"hostile names are skipped",
       MakePack({{2, "../x", "evil"},
                 {2, "a/b", "evil"},
                 {2, "a\\b", "evil"},
                 {2, "..", "evil"},
                 {2, ".", "evil"},
                 {2, std::string("a\0b", 3), "evil"},
                 lua}),
       kSettingsOk,
       {lua}},
      {"a repeated type and name is skipped",
       MakePack({lua, {2, "a.lua", "second"}, {3, "a.lua", "other type"}}),
       kSettingsOk,
       {lua, {3, "a.lua", "other type"}}},
      {"non-ASCII name", MakePack({{2, "Größe µm.lua", "x"}}), kSettingsOk, {{2, "Größe µm.lua", "x"}}},
      {"empty entry", MakePack({{3, "Tarvix.xml", ""}}), kSettingsOk, {{3, "Tarvix.xml", ""}}},
      {"entry over its size limit is skipped",
       MakePack({{2, "big.lua", "12345"}, {2, "s.lua", "1234"}}),
       kSettingsOk,
       {{2, "s.lua", "1234"}},
       small},
      {"entries beyond the count limit are ignored",
       MakePack({ws, lua, {2, "b.lua", "b"}}),
       kSettingsOk,
       {ws, lua},
       few},
      {"entry over the total limit is skipped",
       MakePack({{2, "a", "1234"}, {2, "b", "1234"}, {2, "c", "12"}}),
       kSettingsOk,
       {{2, "a", "1234"}, {2, "c", "12"}},
       total},
  };

  for (const auto& c : cases) {
    TempDir parent;
    const std::string work = parent / "work";
    ASSERT_TRUE(OS::EnsureDir(work));
    std::istringstream in(Str(c.pack));
    std::vector<SettingsArchiveEntry> entries;
    EXPECT_EQ(UnpackSettingsPack(in, work, entries, c.limits), c.result) << c.what;

    ASSERT_EQ(entries.size(), c.entries.size()) << c.what;
    std::map<std::string, std::string> expectedFiles;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(static_cast<int>(entries[i].type), c.entries[i].type) << c.what;
      EXPECT_EQ(entries[i].name, c.entries[i].name) << c.what;
      EXPECT_EQ(entries[i].size, c.entries[i].data.size()) << c.what;
      expectedFiles[SettingsEntryPath(work, entries[i]).substr(work.size() + 1)] = c.entries[i].data;
    }
    // Nothing but the accepted entries' files was written, inside the folder.
    std::map<std::string, std::string> files;
    for (const auto& [path, content] : ORV::Test::SnapshotFolder(work))
      if (content != "<folder>") files[path] = content;
    EXPECT_EQ(files, expectedFiles) << c.what;
    EXPECT_EQ(ORV::Test::SnapshotFolder(parent.path()).size(), ORV::Test::SnapshotFolder(work).size() + 1) << c.what;
  }
}

TEST(SettingsDecompress, PassesGzipAndPlainDataAndRefusesDamage) {
  const Bytes pack = MakePack({{1, "Workspace.xml", std::string(5000, 'x')}});
  const Bytes gz = ORV::Test::Gzip(pack);
  Bytes cut(gz.begin(), gz.end() - 12);
  Bytes badCrc = gz;
  badCrc[badCrc.size() - 6] ^= 0xFF;

  struct Case {
    const char* what;
    Bytes input;
    std::uint64_t cap;
    int result;
    Bytes output;
  };
  const Case cases[] = {
      {"gzip", gz, 1 << 20, kSettingsOk, pack},
      {"not gzip passes unchanged", pack, 1 << 20, kSettingsOk, pack},
      {"exactly at the cap", gz, pack.size(), kSettingsOk, pack},
      {"over the cap", gz, pack.size() - 1, kImportNotDecompressed, {}},
      {"cut short", cut, 1 << 20, kImportNotDecompressed, {}},
      {"wrong checksum", badCrc, 1 << 20, kImportNotDecompressed, {}},
  };
  for (const auto& c : cases) {
    TempDir dir;
    ORV::Test::WriteAll(dir / "in.gz", Str(c.input));
    EXPECT_EQ(DecompressSettingsFile(dir / "in.gz", dir / "out", c.cap), c.result) << c.what;
    if (c.result == kSettingsOk) {
      EXPECT_EQ(ORV::Test::ReadBytes(dir / "out"), c.output) << c.what;
    }
  }
  TempDir dir;
  EXPECT_EQ(DecompressSettingsFile(dir / "missing.gz", dir / "out", 1 << 20), kImportNotDecompressed);
}

TEST(SettingsDecrypt, RefusesWhatIsNotAnArchive) {
  TempDir dir;
  const Bytes pack = MakePack({{1, "Workspace.xml", "<Workspace/>"}});
  ORV::Test::WriteArchive(dir / "good", pack);
  const Bytes good = ORV::Test::ReadBytes(dir / "good");
  ASSERT_EQ((good.size() - 16) % 16, 0u);

  const Bytes iv(16, 0x11);
  Bytes zeroPad(32, 0x41);
  zeroPad.back() = 0x00;  // a pad byte of 0 is never valid
  Bytes longPad(16, 0x41);
  longPad.back() = 0x11;  // more pad bytes than the block holds

  struct Case {
    const char* what;
    Bytes file;
  };
  const Case cases[] = {
      {"empty", {}},
      {"shorter than the IV", Bytes(10, 1)},
      {"the IV alone", Bytes(16, 1)},
      {"not whole blocks", Bytes(good.begin(), good.end() - 1)},
      {"wrong padding", Concat(iv, ORV::Test::EncryptNoPadding(zeroPad, iv))},
      {"pad count above the block", Concat(iv, ORV::Test::EncryptNoPadding(longPad, iv))},
  };
  for (const auto& c : cases) {
    ORV::Test::WriteAll(dir / "bad", Str(c.file));
    EXPECT_EQ(DecryptSettingsFile(dir / "bad", dir / "out.gz"), kImportUnreadable) << c.what;
  }
  EXPECT_EQ(DecryptSettingsFile(dir / "missing", dir / "out.gz"), kImportUnreadable);

  ASSERT_EQ(DecryptSettingsFile(dir / "good", dir / "out.gz"), kSettingsOk);
  EXPECT_EQ(ORV::Test::ReadBytes(dir / "out.gz"), ORV::Test::Gzip(pack));
}

}  // namespace
}  // namespace ORV
