#include "core/settings/workspace_xml.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/core/settings/settings_fixtures.h"

namespace ORV {
namespace {

using ORV::Test::kAppKey;
using ORV::Test::TempDir;
using OS::RegValue;

const std::string kVersion = std::string(kAppKey) + "\\Version";
const std::string kRecent = std::string(kAppKey) + "\\Recent File List";
const std::string kLayout = std::string(kAppKey) + "\\Workspace";
const std::string kSettings = std::string(kAppKey) + "\\Settings";

std::string Export(const OS::RegistryStore& store) {
  TempDir dir;
  EXPECT_EQ(WriteWorkspaceXml(store, dir / "Workspace.xml", SettingsRegistryPath()), 0);
  return ORV::Test::ReadAll(dir / "Workspace.xml");
}

// Restores the sections from XML text; false when it does not load.
bool Restore(OS::RegistryStore& store, const std::string& xml) {
  TempDir dir;
  ORV::Test::WriteAll(dir / "Workspace.xml", xml);
  pugi::xml_document doc;
  if (!LoadWorkspaceXml(dir / "Workspace.xml", doc)) return false;
  return RestoreWorkspaceSections(store, doc, SettingsRegistryPath());
}

TEST(WorkspaceXml, WritesTheSectionsAsFixed) {
  OS::RegistryStore store;
  store.SetValue(kRecent, "File1", RegValue::MakeString("/data/a.tvx"));
  store.SetValue(kVersion + "\\5", "Cut", RegValue::MakeString(std::string("ab\0cd", 5)));
  store.SetValue(kVersion, "Name", RegValue::MakeString("a<b&c"));
  store.SetValue(kVersion, "Empty", RegValue::MakeString(""));
  store.SetValue(kVersion, "Count", RegValue::MakeDword(0xFFFFFFFFu));
  store.SetValue(kVersion, "Blob", RegValue::MakeBinary({1, 2, 3}));
  store.SetValue(kVersion, "Path", RegValue::MakeString("%HOME%", OS::RegType::ExpandString));
  store.SetValue(kVersion, "List", RegValue::MakeMulti({"a", "b"}));
  store.SetValue(kVersion, "Big", RegValue::MakeQword(1));
  store.SetValue(kVersion, "Debug", RegValue::MakeDword(1));
  store.CreateKey(std::string(kAppKey) + "\\BCGWorkspace");
  store.SetValue(kSettings, "Port", RegValue::MakeString("/dev/ttyUSB0"));  // never exported

  EXPECT_EQ(Export(store),
            "<?xml version=\"1.0\"?>\n"
            "<Workspace>\n"
            "\t<RecentFileList>\n"
            "\t\t<Node Name=\"File1\" Type=\"string\">/data/a.tvx</Node>\n"
            "\t</RecentFileList>\n"
            "\t<Version>\n"
            "\t\t<Child Name=\"5\">\n"
            "\t\t\t<Node Name=\"Cut\" Type=\"string\">ab</Node>\n"
            "\t\t</Child>\n"
            "\t\t<Node Name=\"Name\" Type=\"string\">a&lt;b&amp;c</Node>\n"
            "\t\t<Node Name=\"Empty\" Type=\"string\" />\n"
            "\t\t<Node Name=\"Count\" Type=\"int\">4294967295</Node>\n"
            "\t\t<Node Name=\"Blob\" Type=\"binary\" Encoding=\"base64\">AQID</Node>\n"
            "\t\t<Node Name=\"Path\" />\n"
            "\t\t<Node Name=\"List\" />\n"
            "\t\t<Node Name=\"Big\" />\n"
            "\t\t<Node Name=\"Debug\" ExcludeFromImport=\"true\" Type=\"int\">1</Node>\n"
            "\t</Version>\n"
            "\t<Workspace />\n"
            "\t<BCGWorkspace />\n"
            "</Workspace>\n");
}

TEST(WorkspaceXml, LeavesOutWhatDoesNotFitTheExportBuffers) {
  struct Case {
    const char* what;
    std::string key;
    std::string name;
    RegValue value;
    bool exported;
  };
  const std::vector<Case> cases = {
      {"binary of 10240 bytes", "", "BinMax", RegValue::MakeBinary(std::vector<std::uint8_t>(10240, 7)), true},
      {"binary of 10241 bytes", "", "BinOver", RegValue::MakeBinary(std::vector<std::uint8_t>(10241, 7)), false},
      {"string of 5119 units", "", "StrMax", RegValue::MakeString(std::string(5119, 's')), true},
      {"string of 5120 units", "", "StrOver", RegValue::MakeString(std::string(5120, 's')), false},
      {"string of 5119 non-ASCII units", "", "StrMaxU", RegValue::MakeString([] {
         std::string s;
         for (int i = 0; i < 5119; ++i) s += "\xC3\xA9";
         return s;
       }()),
       true},
      {"value name of 16382 units", "", std::string(16382, 'n'), RegValue::MakeDword(1), true},
      {"value name of 16383 units", "", std::string(16383, 'm'), RegValue::MakeDword(1), false},
      {"subkey name of 254 units", std::string(254, 'k'), "V", RegValue::MakeDword(1), true},
      {"subkey name of 255 units", std::string(255, 'j'), "V", RegValue::MakeDword(1), false},
  };
  OS::RegistryStore store;
  for (const auto& c : cases) store.SetValue(c.key.empty() ? kVersion : kVersion + "\\" + c.key, c.name, c.value);

  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(Export(store).c_str()));
  const pugi::xml_node version = doc.child("Workspace").child("Version");
  for (const auto& c : cases) {
    const pugi::xml_node parent =
        c.key.empty() ? version : version.find_child_by_attribute("Child", "Name", c.key.c_str());
    EXPECT_EQ(static_cast<bool>(parent.find_child_by_attribute("Node", "Name", c.name.c_str())), c.exported) << c.what;
  }
}

// Values of every kind that Workspace.xml carries, at several depths.
const std::string kDeep = kVersion + "\\5\\Größe\\Tiefe";
void SetCarriedValues(OS::RegistryStore& store) {
  store.SetValue(kVersion, "All", RegValue::MakeDword(0xFFFFFFFFu));
  store.SetValue(kVersion, "Top", RegValue::MakeDword(0x80000000u));
  store.SetValue(kVersion, "Zero", RegValue::MakeDword(0));
  store.SetValue(kVersion, "Empty", RegValue::MakeString(""));
  store.SetValue(kVersion, "Spaces", RegValue::MakeString("  "));
  store.SetValue(kVersion, "Lines", RegValue::MakeString("a\n\tb "));
  store.SetValue(kVersion, "Control", RegValue::MakeString("a\x01z"));
  store.SetValue(kVersion, "Größe µm", RegValue::MakeString("Ω"));
  store.SetValue(kVersion, "", RegValue::MakeString("default"));
  store.SetValue(kVersion, "NoBytes", RegValue::MakeBinary({}));
  store.SetValue(kVersion, "Bytes", RegValue::MakeBinary({0, 255, 128, 10}));
  store.SetValue(kDeep, "Kept", RegValue::MakeString("x"));
  store.SetValue(kRecent, "File1", RegValue::MakeString("/a.tvx"));
  store.SetValue(kLayout, "State", RegValue::MakeBinary({9, 9}));
}

TEST(WorkspaceXml, RoundTripsTheSections) {
  OS::RegistryStore store;
  SetCarriedValues(store);
  store.SetValue(kVersion, "List", RegValue::MakeMulti({"a"}));
  store.SetValue(kDeep, "Debug", RegValue::MakeDword(1));
  store.SetValue(kSettings, "Port", RegValue::MakeString("/dev/ttyUSB0"));
  const std::string xml = Export(store);

  // What changed locally after the export is replaced or gone.
  store.SetValue(kVersion, "All", RegValue::MakeDword(1));
  store.SetValue(kVersion, "LocalOnly", RegValue::MakeDword(1));
  store.SetValue(kLayout + "\\Extra", "X", RegValue::MakeDword(1));
  store.SetValue(kSettings, "Port", RegValue::MakeString("/dev/ttyACM0"));
  ASSERT_TRUE(Restore(store, xml));

  OS::RegistryStore expected;
  SetCarriedValues(expected);
  for (const auto& key : {kVersion, kDeep, kRecent, kLayout}) {
    // Excluded values, types the file does not carry and values that
    // existed only locally are gone.
    EXPECT_EQ(store.ValueNames(key), expected.ValueNames(key)) << key;
    for (const auto& name : expected.ValueNames(key))
      EXPECT_EQ(store.GetValue(key, name), expected.GetValue(key, name)) << name;
  }
  EXPECT_FALSE(store.KeyExists(kLayout + "\\Extra"));
  // "Settings" is never touched.
  EXPECT_EQ(store.GetString(kSettings, "Port", ""), "/dev/ttyACM0");
}

TEST(WorkspaceXml, RestoreRefusesWhatWouldHarmTheSections) {
  struct Case {
    const char* what;
    std::string version;                                   // content of <Version>
    std::vector<std::pair<std::string, RegValue>> values;  // expected values of Version
    std::vector<std::string> subkeys;                      // expected subkeys of Version
  };
  const auto dword = [](std::uint32_t v) { return RegValue::MakeDword(v); };
  const std::vector<Case> cases = {
      {"a Child without a name is skipped",
       R"(<Child><Node Name="x" Type="int">2</Node></Child><Node Name="keep" Type="int">1</Node>)",
       {{"keep", dword(1)}},
       {}},
      {"a Child with an empty or a path name is skipped",
       R"(<Child Name=""/><Child Name="a\b"><Node Name="x" Type="int">2</Node></Child><Child Name="ok"/>)",
       {},
       {"ok"}},
      {"invalid base64 skips only that value",
       R"(<Node Name="bad" Type="binary">@@@</Node><Node Name="good" Type="binary">AQID</Node>)",
       {{"good", RegValue::MakeBinary({1, 2, 3})}},
       {}},
      {"base64 with white space",
       "<Node Name=\"b\" Type=\"binary\">AQ\n\tID</Node>",
       {{"b", RegValue::MakeBinary({1, 2, 3})}},
       {}},
      {"unknown or missing types write nothing",
       R"(<Node Name="a" Type="qword">1</Node><Node Name="b">1</Node><Node Name="c" Type="Int">1</Node>)",
       {},
       {}},
      {"excluded spellings",
       R"(<Node Name="a" ExcludeFromImport="TRUE" Type="int">1</Node>
         <Node Name="b" ExcludeFromImport="yes" Type="int">1</Node>
         <Node Name="c" ExcludeFromImport="1" Type="int">1</Node>
         <Node Name="d" ExcludeFromImport="false" Type="int">4</Node>)",
       {{"d", dword(4)}},
       {}},
      {"other elements are ignored",
       R"(<node Name="a" Type="int">1</node><Value Name="b" Type="int">1</Value>)",
       {},
       {}},
      {"a Node without a name sets the default value",
       R"(<Node Type="string">d</Node>)",
       {{"", RegValue::MakeString("d")}},
       {}},
  };
  for (const auto& c : cases) {
    OS::RegistryStore store;
    store.SetValue(kVersion, "old", RegValue::MakeDword(9));
    store.SetValue(kSettings, "Port", RegValue::MakeString("p"));
    ASSERT_TRUE(Restore(store, "<Workspace><Version>" + c.version + "</Version></Workspace>")) << c.what;
    std::vector<std::string> names;
    for (const auto& [name, value] : c.values) {
      names.push_back(name);
      EXPECT_EQ(store.GetValue(kVersion, name), value) << c.what << ": " << name;
    }
    EXPECT_EQ(store.ValueNames(kVersion), names) << c.what;
    EXPECT_EQ(store.SubKeyNames(kVersion), c.subkeys) << c.what;
    EXPECT_EQ(store.GetString(kSettings, "Port", ""), "p") << c.what;
    // Missing sections are emptied, and exist afterwards.
    EXPECT_TRUE(store.KeyExists(kRecent)) << c.what;
  }
}

TEST(WorkspaceXml, IntTextsKeepTheirLow32Bits) {
  const std::pair<const char*, std::uint32_t> cases[] = {
      {"0", 0},
      {"42", 42},
      {"4294967295", 0xFFFFFFFFu},
      {"2147483648", 0x80000000u},
      {"-1", 0xFFFFFFFFu},
      {"-2147483648", 0x80000000u},
      {" 12", 12},
      {"12abc", 12},
      {"4294967296", 0},
      {"-2147483649", 0},
      {"99999999999999999999999", 0},
      {"abc", 0},
      {"", 0},
  };
  for (const auto& [text, expected] : cases) {
    OS::RegistryStore store;
    ASSERT_TRUE(Restore(store, std::string("<Workspace><Version><Node Name=\"v\" Type=\"int\">") + text +
                                   "</Node></Version></Workspace>"));
    EXPECT_EQ(store.GetValue(kVersion, "v"), RegValue::MakeDword(expected)) << text;
  }
}

TEST(WorkspaceXml, NestingIsCapped) {
  std::string xml = "<Workspace><Version>";
  for (int i = 0; i < kMaxWorkspaceDepth + 5; ++i) xml += "<Child Name=\"k\"><Node Name=\"v\" Type=\"int\">1</Node>";
  for (int i = 0; i < kMaxWorkspaceDepth + 5; ++i) xml += "</Child>";
  xml += "</Version></Workspace>";
  OS::RegistryStore store;
  ASSERT_TRUE(Restore(store, xml));
  std::string path = kVersion;
  for (int i = 0; i < kMaxWorkspaceDepth; ++i) path += "\\k";
  EXPECT_EQ(store.GetDword(path, "v", 0), 1u);
  EXPECT_FALSE(store.KeyExists(path + "\\k"));

  // The export stops at the same depth, so what it writes can be restored.
  const std::string exported = Export(store);
  OS::RegistryStore again;
  ASSERT_TRUE(Restore(again, exported));
  EXPECT_EQ(again.Serialize(), store.Serialize());
}

TEST(WorkspaceXml, FilesThatCannotBeUsed) {
  OS::RegistryStore store;
  store.SetValue(kVersion, "old", RegValue::MakeDword(9));
  const std::string before = store.Serialize();
  for (const char* xml : {"", "<Workspace><Version>", "not xml", "<?xml version=\"1.0\"?>"}) {
    EXPECT_FALSE(Restore(store, xml)) << xml;
    EXPECT_EQ(store.Serialize(), before) << xml;
  }
  // Any root name is accepted.
  EXPECT_TRUE(Restore(store, "<Other><Version/></Other>"));
  EXPECT_TRUE(store.ValueNames(kVersion).empty());

  TempDir dir;
  EXPECT_EQ(WriteWorkspaceXml(store, dir / "missing-folder/Workspace.xml", SettingsRegistryPath()), -1);
}

}  // namespace
}  // namespace ORV
