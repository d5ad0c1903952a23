#include "core/settings/custom_settings.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "core/settings/open_views.h"
#include "core/settings/workspace_xml.h"
#include "platform/os/folders.h"
#include "tests/core/settings/settings_fixtures.h"
#include "tests/support/test_support.h"

namespace ORV {
namespace {

namespace fs = std::filesystem;
using ORV::Test::Bytes;
using ORV::Test::FakeViews;
using ORV::Test::kAppKey;
using ORV::Test::MakePack;
using ORV::Test::RawEntry;
using OS::RegValue;

const std::string kVersion = std::string(kAppKey) + "\\Version";
const std::string kRecent = std::string(kAppKey) + "\\Recent File List";
const std::string kSettings = std::string(kAppKey) + "\\Settings";

class SettingsArchive : public ::testing::Test {
 protected:
  ORV::Test::TempDir out;  // where archives are saved, outside the sandbox's temporary folder
  ORV::Test::SandboxedHome home;
  ORV::Test::MemoryEventLog log;
  ORV::Test::ScopedUserStore user;
  FakeViews views;

  std::string Scripts() const { return CCustomSettings::CustomScriptsFolder(); }
  std::string Local() const { return CCustomSettings::ProgramLocalFolder(); }
  std::string TempRoot() const { return OS::TempDir(); }

  void FillSettings() {
    user.store.SetValue(kRecent, "File1", RegValue::MakeString("/data/first.tvx"));
    user.store.SetValue(kVersion, "PanelFontSize", RegValue::MakeDword(12));
    user.store.SetValue(kVersion, "Debug", RegValue::MakeDword(1));
    user.store.SetValue(kVersion + "\\5\\Flow", "MaximumLimit", RegValue::MakeDword(0xFFFFFFFFu));
    user.store.SetValue(std::string(kAppKey) + "\\Workspace", "Layout", RegValue::MakeBinary({1, 2, 3}));
    user.store.SetValue(kSettings, "Port", RegValue::MakeString("/dev/ttyUSB0"));
  }

  void WriteScripts(const std::vector<std::string>& listed, const std::map<std::string, std::string>& files) {
    ASSERT_TRUE(OS::EnsureDir(Scripts()));
    std::string index = "<?xml version=\"1.0\"?>\n<CustomTraces>\n";
    for (const auto& name : listed) index += "\t<Trace name=\"" + name + "\" />\n";
    index += "</CustomTraces>\n";
    ORV::Test::WriteAll(Scripts() + "/Scripts.xml", index);
    for (const auto& [name, content] : files) ORV::Test::WriteAll(Scripts() + "/" + name, content);
  }

  // Everything an import may change.
  std::string State() const {
    std::string s = user.store.Serialize();
    for (const auto& [path, content] : ORV::Test::SnapshotFolder(OS::DataHome())) s += "\n" + path + "=" + content;
    return s;
  }

  std::vector<std::string> LeftInTemp() const {
    std::vector<std::string> names;
    for (const auto& [path, content] : ORV::Test::SnapshotFolder(TempRoot())) names.push_back(path);
    return names;
  }

  // Pack bytes of an archive, decrypted and gunzipped by the command-line tools.
  static std::vector<std::pair<int, std::string>> EntryList(const Bytes& pack) {
    std::vector<std::pair<int, std::string>> list;
    for (const auto& e : ORV::Test::EntriesOfPack(pack)) list.emplace_back(static_cast<int>(e.type), e.name);
    return list;
  }
};

TEST_F(SettingsArchive, ExportPacksTheSettingsAndDecryptsWithTheCommandLineTools) {
  FillSettings();
  views.actionOpen = true;
  views.windows.push_back({4, 1, {0, 2, -1, -1}, 0, 10});
  WriteScripts({"a.lua", "missing.lua", "../evil.lua", "sub/x.lua", "b.lua", "a.lua"},
               {{"a.lua", "return 1"}, {"b.lua", "return 2"}, {"unlisted.lua", "return 3"}});
  ORV::Test::WriteAll(Local() + "/evil.lua", "outside the scripts folder");

  CCustomSettings settings(&views);
  settings.KeepWorkingFolder = true;
  const std::string archive = out / "mine.orvsettings";
  ASSERT_EQ(settings.ExportSettingsArchive(archive), kSettingsOk);

  const Bytes file = ORV::Test::ReadBytes(archive);
  EXPECT_EQ((file.size() - 16) % 16, 0u);
  EXPECT_GE(file.size(), 32u);
  const Bytes pack = ORV::Test::PackOfArchive(archive);
  ASSERT_GE(pack.size(), 8u);
  EXPECT_TRUE(std::equal(pack.begin(), pack.begin() + 8, std::begin(kSettingsPackMagic)));
  const std::vector<std::pair<int, std::string>> expected = {
      {1, "Workspace.xml"}, {3, "Tarvix.xml"}, {2, "a.lua"}, {2, "b.lua"}, {2, "Scripts.xml"}};
  EXPECT_EQ(EntryList(pack), expected);

  // The kept working folder holds the same pack, and the manifest that is
  // never packed.
  const auto temp = LeftInTemp();
  ASSERT_FALSE(temp.empty());
  const std::string work = TempRoot() + "/" + temp.front().substr(0, temp.front().find('/'));
  EXPECT_EQ(ORV::Test::ReadBytes(work + "/TMPArchive"), pack);
  pugi::xml_document overview;
  ASSERT_TRUE(overview.load_file((work + "/Overview.xml").c_str()));
  std::vector<std::pair<std::string, std::string>> listed;
  for (auto f : overview.child("FilesIncludedInSettings").children("File"))
    listed.emplace_back(f.attribute("Type").value(), f.text().get());
  const std::vector<std::pair<std::string, std::string>> manifest = {{"Workspace", "Workspace.xml"},
                                                                     {"Tarvix", "Tarvix.xml"},
                                                                     {"CustomScripts", "a.lua"},
                                                                     {"CustomScripts", "b.lua"},
                                                                     {"CustomScripts", "Scripts.xml"}};
  EXPECT_EQ(listed, manifest);
  const std::string packText(pack.begin(), pack.end());
  EXPECT_EQ(packText.find("FilesIncludedInSettings"), std::string::npos);
  EXPECT_EQ(packText.find("outside the scripts folder"), std::string::npos);
  EXPECT_NE(packText.find("return 2"), std::string::npos);
}

TEST_F(SettingsArchive, ExportWithoutScriptsHasTwoEntriesAndEveryExportIsFreshlyEncrypted) {
  FillSettings();
  CCustomSettings settings(&views);
  ASSERT_EQ(settings.ExportSettingsArchive(out / "one.orvsettings"), kSettingsOk);
  ASSERT_EQ(settings.ExportSettingsArchive(out / "two.orvsettings"), kSettingsOk);
  EXPECT_TRUE(LeftInTemp().empty());

  const Bytes one = ORV::Test::ReadBytes(out / "one.orvsettings");
  const Bytes two = ORV::Test::ReadBytes(out / "two.orvsettings");
  const std::vector<std::pair<int, std::string>> expected = {{1, "Workspace.xml"}, {3, "Tarvix.xml"}};
  EXPECT_EQ(EntryList(ORV::Test::PackOfArchive(out / "one.orvsettings")), expected);
  EXPECT_EQ(ORV::Test::PackOfArchive(out / "one.orvsettings"), ORV::Test::PackOfArchive(out / "two.orvsettings"));
  // Same settings, different bytes from the IV on: no 16-byte block repeats.
  ASSERT_EQ(one.size(), two.size());
  for (std::size_t block = 0; block < one.size() / 16; ++block) {
    EXPECT_FALSE(std::equal(one.begin() + block * 16, one.begin() + block * 16 + 16, two.begin() + block * 16))
        << "block " << block;
  }
}

TEST_F(SettingsArchive, ExportsUnderA250ByteName) {
  FillSettings();
  CCustomSettings settings(&views);
  const std::string archive = out / (std::string(238, 'x') + ".orvsettings");
  ASSERT_EQ(settings.ExportSettingsArchive(archive), kSettingsOk);
  ASSERT_EQ(settings.ExportSettingsArchive(archive), kSettingsOk) << "replacing the archive exported before";
  const std::vector<std::pair<int, std::string>> expected = {{1, "Workspace.xml"}, {3, "Tarvix.xml"}};
  EXPECT_EQ(EntryList(ORV::Test::PackOfArchive(archive)), expected);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.path()), {}), 1) << "no temporary file left";
}

TEST_F(SettingsArchive, ImportRestoresWhatTheExportCarried) {
  // The exporting installation.
  FillSettings();
  views.dataOpen = true;
  views.windows.push_back({4, 1, {0, 2, -1, -1}, 0, 10});
  views.windows.push_back({221, 0, {1, -1, -1, -1}, 0, 10});
  WriteScripts({"Größe.lua", "b.lua"}, {{"Größe.lua", "return 1"}, {"b.lua", "return 2"}});
  const std::string archive = out / "mine.orvsettings";
  ASSERT_EQ(CCustomSettings(&views).ExportSettingsArchive(archive), kSettingsOk);
  OS::RegistryStore exported;
  exported.SetValue(kRecent, "File1", RegValue::MakeString("/data/first.tvx"));
  exported.SetValue(kVersion, "PanelFontSize", RegValue::MakeDword(12));
  exported.SetValue(kVersion + "\\5\\Flow", "MaximumLimit", RegValue::MakeDword(0xFFFFFFFFu));
  exported.SetValue(std::string(kAppKey) + "\\Workspace", "Layout", RegValue::MakeBinary({1, 2, 3}));

  // The importing installation: other settings, other scripts, no local folder.
  user.store.DeleteTree(kAppKey);
  user.store.SetValue(kVersion, "PanelFontSize", RegValue::MakeDword(9));
  user.store.SetValue(kVersion, "Debug", RegValue::MakeDword(0));
  user.store.SetValue(kSettings, "Port", RegValue::MakeString("/dev/ttyACM0"));
  ASSERT_TRUE(OS::RemoveTree(Local()));
  WriteScripts({"old.lua"}, {{"old.lua", "return 0"}});

  // Asked once the archive is known to be sound; a No changes nothing.
  const std::string unchanged = State();
  int asked = 0;
  EXPECT_EQ(CCustomSettings(&views).ImportSettingsArchive(archive,
                                                          [&] {
                                                            ++asked;
                                                            return false;
                                                          }),
            kImportDeclined);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(State(), unchanged);
  EXPECT_TRUE(LeftInTemp().empty());

  ASSERT_EQ(CCustomSettings(&views).ImportSettingsArchive(archive), kSettingsOk);
  EXPECT_TRUE(LeftInTemp().empty());

  for (const auto& section : {kRecent, kVersion, kVersion + "\\5\\Flow", std::string(kAppKey) + "\\Workspace"}) {
    EXPECT_EQ(user.store.ValueNames(section), exported.ValueNames(section)) << section;
    for (const auto& name : exported.ValueNames(section))
      EXPECT_EQ(user.store.GetValue(section, name), exported.GetValue(section, name)) << name;
  }
  EXPECT_EQ(user.store.GetString(kSettings, "Port", ""), "/dev/ttyACM0");

  std::map<std::string, std::string> scripts = ORV::Test::SnapshotFolder(Scripts());
  scripts.erase("Scripts.xml");
  const std::map<std::string, std::string> expectedScripts = {{"Größe.lua", "return 1"}, {"b.lua", "return 2"}};
  EXPECT_EQ(scripts, expectedScripts);
  EXPECT_NE(ORV::Test::ReadAll(Scripts() + "/Scripts.xml").find("Größe.lua"), std::string::npos);

  // The restarted program reopens the windows once.
  ASSERT_TRUE(OS::PathExists(OpenViewsFilePath()));
  FakeViews restarted;
  CCustomSettings startup(&restarted);
  startup.ReadOpenViewsXml();
  startup.ReadOpenViewsXml();
  EXPECT_EQ(restarted.dataOpened, 1);
  EXPECT_EQ(restarted.actionOpened, 0);
  ASSERT_EQ(restarted.windows.size(), 2u);
  EXPECT_EQ(restarted.windows[0].traceCode, 4);
  EXPECT_EQ(restarted.windows[0].camera, 1);
  EXPECT_EQ(restarted.windows[0].zones[1], 2);
  EXPECT_EQ(restarted.windows[1].traceCode, 221);
  EXPECT_EQ(restarted.windows[1].zones[0], 1);
  EXPECT_FALSE(OS::PathExists(OpenViewsFilePath()));
}

TEST_F(SettingsArchive, AFailedImportChangesNothing) {
  const Bytes goodPack = MakePack({{1, "Workspace.xml", "<Workspace><Version/></Workspace>"},
                                   {2, "new.lua", "return 9"},
                                   {2, "Scripts.xml", "<CustomTraces><Trace name=\"new.lua\"/></CustomTraces>"}});
  const Bytes iv(16, 0x22);
  Bytes badPadding(32, 0x41);
  badPadding.back() = 0;
  Bytes gzipCut = ORV::Test::Gzip(goodPack);
  gzipCut.resize(gzipCut.size() / 2);

  struct Case {
    const char* what;
    std::function<void(const std::string&)> make;
    int result;  // 0: any negative code
  };
  const auto archiveOf = [](Bytes pack, bool compress = true, std::string_view key = kSettingsArchiveKeyHex) {
    return [=](const std::string& path) { ORV::Test::WriteArchive(path, pack, compress, key); };
  };
  const auto raw = [](Bytes bytes) {
    return [=](const std::string& path) { ORV::Test::WriteAll(path, std::string(bytes.begin(), bytes.end())); };
  };
  const auto cut = [&](std::size_t drop) {
    return [=](const std::string& path) {
      ORV::Test::WriteArchive(path, goodPack);
      fs::resize_file(path, fs::file_size(path) - drop);
    };
  };
  const std::vector<Case> cases = {
      {"missing file", [](const std::string&) {}, kImportUnreadable},
      {"empty file", raw({}), kImportUnreadable},
      {"cut inside a block", cut(5), kImportUnreadable},
      {"last block cut off", cut(16), 0},
      {"wrong padding", raw([&] {
         Bytes b = iv;
         const Bytes c = ORV::Test::EncryptNoPadding(badPadding, iv);
         b.insert(b.end(), c.begin(), c.end());
         return b;
       }()),
       kImportUnreadable},
      {"wrong key", archiveOf(goodPack, true, "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff"), 0},
      {"gzip cut short", archiveOf(gzipCut, false), kImportNotDecompressed},
      {"plain data that is no pack", archiveOf(Bytes{'h', 'e', 'l', 'l', 'o'}, false), kImportNoValidEntry},
      {"gzip data that is no pack", archiveOf(Bytes(100, 'x')), kImportNoValidEntry},
      {"only the magic", archiveOf(MakePack({})), kImportNoValidEntry},
      {"only hostile names", archiveOf(MakePack({{2, "../../evil.lua", "x"}, {3, "../Tarvix.xml", "x"}})),
       kImportNoValidEntry},
      {"a workspace that does not parse", archiveOf(MakePack({{1, "Workspace.xml", "<Workspace><Version>"}})),
       kImportNoValidEntry},
      {"an open-views entry of another name", archiveOf(MakePack({{3, "other.xml", "<OpenViews/>"}})),
       kImportNoValidEntry},
      {"a first entry of an unknown type", archiveOf(MakePack({{7, "Workspace.xml", "<Workspace/>"}})),
       kImportNoValidEntry},
  };

  FillSettings();
  WriteScripts({"keep.lua"}, {{"keep.lua", "return 1"}});
  ORV::Test::WriteAll(Local() + "/Tarvix.xml", "<OpenViews/>");
  const std::string before = State();
  for (const auto& c : cases) {
    const std::string archive = out / "bad.orvsettings";
    fs::remove(archive);
    c.make(archive);
    const int rc = CCustomSettings(&views).ImportSettingsArchive(archive);
    if (c.result == 0) {
      EXPECT_LT(rc, 0) << c.what;
    } else {
      EXPECT_EQ(rc, c.result) << c.what;
    }
    EXPECT_EQ(State(), before) << c.what;
    EXPECT_TRUE(LeftInTemp().empty()) << c.what;
  }
  EXPECT_FALSE(OS::PathExists(OS::HomeDir() + "/evil.lua"));
}

TEST_F(SettingsArchive, ImportAppliesOnlyTheEntriesItCarries) {
  FillSettings();
  WriteScripts({"keep.lua"}, {{"keep.lua", "return 1"}});
  const auto scriptsBefore = ORV::Test::SnapshotFolder(Scripts());

  // A registry-only archive, stored without gzip: restores the sections and
  // leaves every file alone.
  const std::string archive = out / "registry.orvsettings";
  ORV::Test::WriteArchive(archive,
                          MakePack({{1, "Workspace.xml",
                                     "<Workspace><Version><Node Name=\"PanelFontSize\" Type=\"int\">20</Node></Version>"
                                     "</Workspace>"}}),
                          false);
  ASSERT_EQ(CCustomSettings(&views).ImportSettingsArchive(archive), kSettingsOk);
  EXPECT_EQ(user.store.GetDword(kVersion, "PanelFontSize", 0), 20u);
  EXPECT_FALSE(user.store.GetValue(kVersion, "Debug"));
  EXPECT_FALSE(user.store.KeyExists(kVersion + "\\5"));
  EXPECT_TRUE(user.store.ValueNames(kRecent).empty());
  EXPECT_EQ(user.store.GetString(kSettings, "Port", ""), "/dev/ttyUSB0");
  EXPECT_EQ(ORV::Test::SnapshotFolder(Scripts()), scriptsBefore);
  EXPECT_FALSE(OS::PathExists(OpenViewsFilePath()));

  // Hostile names among good entries: only the good ones land, inside the
  // scripts folder.
  ORV::Test::WriteArchive(archive,
                          MakePack({{2, "../../../evil.lua", "bad"},
                                    {2, "new.lua", "return 2"},
                                    {2, "a\\..\\..\\evil.lua", "bad"},
                                    {2, "Scripts.xml", "<CustomTraces><Trace name=\"new.lua\"/></CustomTraces>"}}));
  ASSERT_EQ(CCustomSettings(&views).ImportSettingsArchive(archive), kSettingsOk);
  std::map<std::string, std::string> scripts = ORV::Test::SnapshotFolder(Scripts());
  EXPECT_EQ(scripts.size(), 2u);
  EXPECT_EQ(scripts["new.lua"], "return 2");
  for (const auto& [path, content] : ORV::Test::SnapshotFolder(home.root())) EXPECT_NE(content, "bad") << path;
  EXPECT_EQ(user.store.GetDword(kVersion, "PanelFontSize", 0), 20u);

  // Scripts without their index replace nothing that the old index lists.
  ORV::Test::WriteArchive(archive, MakePack({{2, "more.lua", "return 3"}}));
  ASSERT_EQ(CCustomSettings(&views).ImportSettingsArchive(archive), kSettingsOk);
  EXPECT_EQ(ORV::Test::SnapshotFolder(Scripts()).size(), 3u);
}

TEST_F(SettingsArchive, AFailedExportLeavesTheDestinationAsItWas) {
  struct Case {
    const char* what;
    std::function<void()> prepare;
    int result;
  };
  const std::vector<Case> cases = {
      {"no working folder",
       [&] {
         ORV::Test::WriteAll(home.root() + "/not-a-folder", "x");
         setenv("TMPDIR", (home.root() + "/not-a-folder").c_str(), 1);
       },
       kExportNoWorkingFolder},
      {"Workspace.xml can't be written",
       [&] {
         for (int i = 0; i < 20; ++i)
           user.store.SetValue(kVersion, "Blob" + std::to_string(i),
                               RegValue::MakeBinary(std::vector<std::uint8_t>(10000, static_cast<std::uint8_t>(i))));
       },
       kExportWorkspaceNotWritten},
      {"the pack can't be written",
       [&] {
         WriteScripts({"a.lua", "b.lua", "c.lua"}, {{"a.lua", std::string(60000, 'a')},
                                                    {"b.lua", std::string(60000, 'b')},
                                                    {"c.lua", std::string(60000, 'c')}});
       },
       kExportPackNotWritten},
  };
  const std::string destination = out / "existing.orvsettings";
  const std::string tempDir = OS::TempDir();
  for (const auto& c : cases) {
    ORV::Test::WriteAll(destination, "the archive saved last week");
    c.prepare();
    {
      ORV::Test::FileSizeLimit limit(100000);
      EXPECT_EQ(CCustomSettings(&views).ExportSettingsArchive(destination), c.result) << c.what;
    }
    EXPECT_EQ(ORV::Test::ReadAll(destination), "the archive saved last week") << c.what;
    EXPECT_EQ(ORV::Test::SnapshotFolder(out.path()).size(), 1u) << c.what;  // no temporary file left beside it
    setenv("TMPDIR", tempDir.c_str(), 1);
    EXPECT_TRUE(LeftInTemp().empty()) << c.what;
    user.store.DeleteTree(kAppKey);
    OS::RemoveTree(Scripts());
  }

  // A destination whose folder does not exist is not written either.
  EXPECT_EQ(CCustomSettings(&views).ExportSettingsArchive(out / "missing/new.orvsettings"),
            kExportDestinationNotWritten);
  EXPECT_TRUE(LeftInTemp().empty());
}

}  // namespace
}  // namespace ORV
