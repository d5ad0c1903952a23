#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "custom_traces/custom_scripts_index.h"
#include "platform/os/folders.h"
#include "tests/support/test_support.h"

namespace ORV::Traces {
namespace {

// Writes a definition into `folder` under its own file name and returns that name.
std::string AddDefinition(const std::string& folder, const std::string& name, const std::string& code) {
  CustomTraces t;
  t.Id = "ID-" + name;
  t.Name = name;
  t.Code = code;
  const std::string file = ScriptSha256Hex(t) + ".xml";
  EXPECT_TRUE(WriteCustomTraceXml(t, folder + "/" + file));
  return file;
}

void WriteIndex(const std::string& folder, const std::string& body) {
  ASSERT_TRUE(
      OS::AtomicWriteFile(folder + "/Scripts.xml", "<?xml version=\"1.0\"?>\n<Scripts>\n" + body + "</Scripts>\n"));
}

std::string Entry(const std::string& name) { return "\t<Script name=\"" + name + "\" id=\"x\" />\n"; }

TEST(CustomScriptsIndex, FolderIsCreatedAndAMissingIndexGivesNoTraces) {
  ORV::Test::SandboxedHome home;
  const std::string folder = CustomScriptsFolder();
  EXPECT_EQ(folder, OS::DataHome() + "/Orvanta/Tarvix 5/Custom Scripts");
  ASSERT_FALSE(OS::PathExists(folder));
  EXPECT_TRUE(LoadCustomScriptsIndex(folder).empty());
  EXPECT_TRUE(OS::IsDirectory(folder));
}

TEST(CustomScriptsIndex, ListsTracesInIndexOrderAndKeepsBrokenOnes) {
  ORV::Test::MemoryEventLog log;
  ORV::Test::TempDir dir;
  const std::string f = dir.path();
  const std::string second = AddDefinition(f, "Second", "return 2");
  const std::string first = AddDefinition(f, "First", "return 1");
  const std::string broken = AddDefinition(f, "Broken", "return (");
  WriteIndex(f, Entry(second) + "\t<!-- comment -->\n" + Entry(first) + Entry("gone.xml") + Entry(broken) +
                    Entry("../escape.xml") + Entry("sub/dir.xml") + Entry("..") + Entry("a\\b.xml") +
                    "\t<Script id=\"no-name\" />\n");

  CustomTraceList list;
  list.push_back(std::make_shared<CustomTracesWithLuaContext>());
  auto& result = LoadCustomScriptsIndex(f, list);
  EXPECT_EQ(&result, &list);
  ASSERT_EQ(list.size(), 5u) << "entries without a plain file name are left out";

  EXPECT_EQ(list[1]->GetTrace()->Name, "Second");
  EXPECT_EQ(list[1]->Run(0, 0, 0), 2.0);
  EXPECT_EQ(list[2]->GetTrace()->Name, "First");
  EXPECT_EQ(list[2]->Run(0, 0, 0), 1.0);

  // A listed file that is missing: the empty record, whose empty script gives 0.001.
  const auto missing = list[3]->GetTrace();
  ASSERT_NE(missing, nullptr);
  EXPECT_EQ(missing->FileName, f + "/gone.xml");
  EXPECT_FALSE(missing->Stored);
  EXPECT_DOUBLE_EQ(list[3]->Run(0, 0, 0), 0.001);

  // Code that does not compile keeps its record, so the trace can still be listed and saved.
  EXPECT_FALSE(list[4]->IsCompiled());
  ASSERT_NE(list[4]->GetTrace(), nullptr);
  EXPECT_EQ(list[4]->GetTrace()->Name, "Broken");
  EXPECT_EQ(list[4]->GetTrace()->FileName, f + "/" + broken);
  EXPECT_TRUE(std::isnan(list[4]->Run(0, 0, 0))) << "no value, a gap";

  const std::string logged = log.Dump();
  EXPECT_NE(logged.find("../escape.xml"), std::string::npos) << logged;
  EXPECT_NE(logged.find("gone.xml"), std::string::npos) << logged;
  EXPECT_FALSE(OS::PathExists(dir.path() + "/../escape.xml"));
}

TEST(CustomScriptsIndex, UnreadableIndexLeavesTheListAsItWas) {
  ORV::Test::TempDir dir;
  const std::string one = AddDefinition(dir.path(), "One", "return 1");
  for (const std::string& index : {std::string("<Scripts><Script name=\"") + one + "\"></Scripts", std::string()}) {
    ASSERT_TRUE(OS::AtomicWriteFile(dir / "Scripts.xml", index));
    EXPECT_TRUE(LoadCustomScriptsIndex(dir.path()).empty());
  }
  ASSERT_TRUE(OS::RemoveTree(dir / "Scripts.xml"));
  ASSERT_TRUE(OS::EnsureDir(dir / "Scripts.xml"));
  EXPECT_TRUE(LoadCustomScriptsIndex(dir.path()).empty()) << "an index that is a folder";
}

TEST(CustomScriptsIndex, StopsAtTheEntryLimit) {
  ORV::Test::TempDir dir;
  std::string body;
  for (std::size_t i = 0; i <= kMaxIndexEntries; ++i) body += Entry("missing.xml");
  WriteIndex(dir.path(), body);
  EXPECT_EQ(LoadCustomScriptsIndex(dir.path()).size(), kMaxIndexEntries);
}

}  // namespace
}  // namespace ORV::Traces
