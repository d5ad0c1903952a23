#include "platform/os/registry_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/os/folders.h"
#include "tests/support/test_support.h"

namespace ORV::OS {
namespace {

namespace fs = std::filesystem;

constexpr const char* kKey = "HKEY_CURRENT_USER\\Software\\Orvanta\\Tarvix 5";

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
  return out;
}

std::vector<std::string> DamagedCopies(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& name : FilesIn(dir))
    if (name.find(".damaged-") != std::string::npos) out.push_back(dir + "/" + name);
  return out;
}

// One value of every type, each written in a key of its own depth.
struct TypedValue {
  std::string key;
  std::string name;
  RegValue value;
};

std::vector<TypedValue> EveryType() {
  return {
      {kKey, "Text",
       RegValue::MakeString("Gr\xC3\xBC\xC3\x9F"
                            "e \\ \"quoted\"")},
      {kKey, "", RegValue::MakeString("default value")},
      {std::string(kKey) + "\\Settings", "Path", RegValue::MakeString("%HOME%/data", RegType::ExpandString)},
      {std::string(kKey) + "\\Settings", "List", RegValue::MakeMulti({"one", "", "three"})},
      {std::string(kKey) + "\\Version\\5", "Small", RegValue::MakeDword(0xFFFFFFFFu)},
      {std::string(kKey) + "\\Version\\5", "Big", RegValue::MakeQword(0x0123456789ABCDEFull)},
      {std::string(kKey) + "\\Version\\5\\Deep\\Er", "Blob", RegValue::MakeBinary({0, 1, 0xFF, 0, 0x80})},
      {std::string(kKey) + "\\Version\\5\\Deep\\Er", "Empty", RegValue::MakeBinary({})},
  };
}

TEST(RegistryStore, EveryTypeSurvivesARestartFromItsFile) {
  ORV::Test::TempDir dir;
  const std::string file = dir / "registry.dat";
  std::string written;
  {
    RegistryStore store(file);
    for (const auto& v : EveryType()) ASSERT_TRUE(store.SetValue(v.key, v.name, v.value)) << v.name;
    written = store.Serialize();
  }
  RegistryStore again(file);
  EXPECT_EQ(again.TakeDamageReport(), "");
  for (const auto& v : EveryType()) {
    const auto got = again.GetValue(v.key, v.name);
    ASSERT_TRUE(got) << v.name;
    EXPECT_EQ(*got, v.value) << v.name;
  }
  EXPECT_EQ(again.Serialize(), written);
}

TEST(RegistryStore, BatchWritesTheFileOnceAtItsEnd) {
  ORV::Test::TempDir dir;
  const std::string file = dir / "registry.dat";
  RegistryStore store(file);
  {
    RegistryStore::Batch outer(store);
    {
      RegistryStore::Batch inner(store);
      store.SetValue(kKey, "A", RegValue::MakeDword(1));
    }
    store.SetValue(kKey, "B", RegValue::MakeDword(2));
    EXPECT_FALSE(PathExists(file)) << "written before the outermost batch ended";
  }
  RegistryStore again(file);
  EXPECT_EQ(again.GetDword(kKey, "A", 0), 1u);
  EXPECT_EQ(again.GetDword(kKey, "B", 0), 2u);
}

TEST(RegistryStore, NamesCompareWithoutCaseAndKeepTheirFirstSpelling) {
  RegistryStore store;
  ASSERT_TRUE(store.SetValue(std::string(kKey) + "\\Settings", "LastUsedPort", RegValue::MakeString("/dev/ttyUSB0")));
  // Same key and value under other spellings.
  EXPECT_EQ(store.GetString("hkey_current_user\\SOFTWARE\\orvanta\\TARVIX 5\\settings", "LASTUSEDPORT", "-"),
            "/dev/ttyUSB0");
  ASSERT_TRUE(store.SetValue(std::string(kKey) + "\\SETTINGS", "lastusedport", RegValue::MakeString("/dev/ttyUSB1")));
  ASSERT_TRUE(store.CreateKey("HKEY_CURRENT_USER\\software"));

  EXPECT_EQ(store.SubKeyNames(kKey), std::vector<std::string>{"Settings"});
  EXPECT_EQ(store.SubKeyNames("HKEY_CURRENT_USER"), std::vector<std::string>{"Software"});
  EXPECT_EQ(store.ValueNames(std::string(kKey) + "\\Settings"), std::vector<std::string>{"LastUsedPort"});
  EXPECT_EQ(store.GetString(std::string(kKey) + "\\Settings", "LastUsedPort", ""), "/dev/ttyUSB1");

  EXPECT_TRUE(store.DeleteValue(std::string(kKey) + "\\settings", "LASTUSEDPORT"));
  EXPECT_TRUE(store.ValueNames(std::string(kKey) + "\\Settings").empty());
}

TEST(RegistryStore, EnumerationOrderIsDefinedAndSurvivesARestart) {
  ORV::Test::TempDir dir;
  const std::string file = dir / "registry.dat";
  const std::vector<std::string> keysSorted = {"alpha", "Beta", "beta2", "GAMMA", "z"};
  const std::vector<std::string> valuesAsSet = {"Zulu", "alpha", "Mike", "bravo"};
  {
    RegistryStore store(file);
    for (const char* k : {"z", "GAMMA", "alpha", "beta2", "Beta"}) store.CreateKey(std::string(kKey) + "\\" + k);
    for (const auto& v : valuesAsSet) store.SetValue(kKey, v, RegValue::MakeDword(1));
    // Changing a value does not move it.
    store.SetValue(kKey, "Zulu", RegValue::MakeDword(2));
    EXPECT_EQ(store.SubKeyNames(kKey), keysSorted);
    EXPECT_EQ(store.ValueNames(kKey), valuesAsSet);
  }
  RegistryStore again(file);
  EXPECT_EQ(again.SubKeyNames(kKey), keysSorted);
  EXPECT_EQ(again.ValueNames(kKey), valuesAsSet);
}

TEST(RegistryStore, DeleteTreeRemovesTheKeyAndEverythingBelowIt) {
  ORV::Test::TempDir dir;
  const std::string file = dir / "registry.dat";
  const std::string version = std::string(kKey) + "\\Version";
  {
    RegistryStore store(file);
    store.SetValue(version + "\\5", "A", RegValue::MakeDword(1));
    store.SetValue(version + "\\5\\VesselDiameter", "MinimumLimit", RegValue::MakeDword(0));
    store.SetValue(version, "Kept?", RegValue::MakeDword(1));
    store.SetValue(std::string(kKey) + "\\Settings", "Sibling", RegValue::MakeDword(7));

    EXPECT_TRUE(store.DeleteTree(std::string(kKey) + "\\VERSION"));
    EXPECT_FALSE(store.KeyExists(version));
    EXPECT_FALSE(store.KeyExists(version + "\\5\\VesselDiameter"));
    EXPECT_FALSE(store.DeleteTree(version)) << "a missing key";
    EXPECT_FALSE(store.DeleteTree(""));
  }
  RegistryStore again(file);
  EXPECT_FALSE(again.KeyExists(version + "\\5"));
  EXPECT_EQ(again.GetDword(std::string(kKey) + "\\Settings", "Sibling", 0), 7u);
}

TEST(RegistryStore, WriteInterruptedBeforeTheRenameLeavesThePreviousFileReadable) {
  ORV::Test::TempDir dir;
  const std::string file = dir / "registry.dat";
  RegistryStore store(file);
  ASSERT_TRUE(store.SetValue(kKey, "Value", RegValue::MakeString("old")));

  SetAtomicWriteInterruptForTesting(true);
  const bool written = store.SetValue(kKey, "Value", RegValue::MakeString("new"));
  SetAtomicWriteInterruptForTesting(false);
  EXPECT_FALSE(written) << "an interrupted write is not reported as success";

  {
    RegistryStore afterCrash(file);
    EXPECT_EQ(afterCrash.TakeDamageReport(), "");
    EXPECT_EQ(afterCrash.GetString(kKey, "Value", "missing"), "old");
  }
  // The next complete write replaces the file, whatever the crash left behind.
  ASSERT_TRUE(store.SetValue(kKey, "Other", RegValue::MakeDword(1)));
  RegistryStore later(file);
  EXPECT_EQ(later.GetString(kKey, "Value", "missing"), "new");
}

// Byte images of damaged files, built from a good one.
std::string GoodImage() {
  RegistryStore s;
  s.SetValue(kKey, "Value", RegValue::MakeString("text"));
  s.SetValue(std::string(kKey) + "\\Sub", "N", RegValue::MakeDword(5));
  return s.Serialize();
}

// Appends the file's checksum (CRC-32 of everything before it, little-endian).
std::string WithCrc(std::string body) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : body) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  crc ^= 0xFFFFFFFFu;
  for (int i = 0; i < 4; ++i) body.push_back(static_cast<char>((crc >> (8 * i)) & 0xFF));
  return body;
}

TEST(RegistryStore, DamagedFileIsKeptAsideAndTheStoreStartsEmpty) {
  const std::string good = GoodImage();
  const std::string magic = good.substr(0, 8);
  struct Case {
    const char* what;
    std::string bytes;
  };
  std::string flipped = good;
  flipped[good.size() / 2] ^= 0x40;
  // Valid checksum, but a value count far beyond the file.
  std::string hugeCount = magic;
  hugeCount += std::string("\0\0\0\0", 4);          // root name ""
  hugeCount += std::string("\xFF\xFF\xFF\x7F", 4);  // values
  const Case cases[] = {
      {"empty file", ""},
      {"truncated", good.substr(0, good.size() - 7)},
      {"wrong magic", "XXXXXXXX" + good.substr(8)},
      {"flipped byte", flipped},
      {"huge count", WithCrc(hugeCount)},
      {"trailing bytes", WithCrc(good.substr(0, good.size() - 4) + "junk")},
  };
  ASSERT_EQ(WithCrc(good.substr(0, good.size() - 4)), good) << "checksum helper";

  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ORV::Test::TempDir dir;
    const std::string file = dir / "registry.dat";
    ASSERT_TRUE(AtomicWriteFile(file, c.bytes));
    RegistryStore store(file);
    EXPECT_TRUE(store.SubKeyNames("").empty());
    const std::string report = store.TakeDamageReport();
    EXPECT_NE(report.find("damaged"), std::string::npos) << report;
    EXPECT_EQ(store.TakeDamageReport(), "") << "reported once";

    const auto aside = DamagedCopies(dir.path());
    ASSERT_EQ(aside.size(), 1u);
    std::string kept;
    ASSERT_TRUE(ReadFile(aside[0], kept));
    EXPECT_EQ(kept, c.bytes) << "the damaged file is kept as it was";
    EXPECT_NE(report.find(aside[0]), std::string::npos) << report;

    // The store works on: a write makes a good file again.
    ASSERT_TRUE(store.SetValue(kKey, "After", RegValue::MakeDword(3)));
    RegistryStore again(file);
    EXPECT_EQ(again.TakeDamageReport(), "");
    EXPECT_EQ(again.GetDword(kKey, "After", 0), 3u);
  }
}

TEST(RegistryStore, SecondDamagedFileDoesNotReplaceTheFirstOne) {
  ORV::Test::TempDir dir;
  const std::string file = dir / "registry.dat";
  ASSERT_TRUE(AtomicWriteFile(file, std::string_view("first damaged file")));
  { RegistryStore store(file); }
  ASSERT_TRUE(AtomicWriteFile(file, std::string_view("second damaged file")));
  { RegistryStore store(file); }

  std::vector<std::string> contents;
  for (const auto& path : DamagedCopies(dir.path())) {
    std::string text;
    ASSERT_TRUE(ReadFile(path, text));
    contents.push_back(text);
  }
  std::sort(contents.begin(), contents.end());
  EXPECT_EQ(contents, (std::vector<std::string>{"first damaged file", "second damaged file"}));
}

}  // namespace
}  // namespace ORV::OS
