// The custom-trace dialog's logic without widgets: new-trace defaults, save
// with its files and notifications, the syntax check, cancel and delete.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "core/base/paths.h"
#include "custom_traces/ui/custom_trace_dialog_model.h"
#include "platform/os/file_replace.h"
#include "platform/os/folders.h"
#include "tests/support/test_support.h"

namespace ORV::Traces {
namespace {

struct Posted {
  std::uint32_t message;
  OS::WPARAM wParam;
  OS::LPARAM lParam;
};

class RecordingTarget : public OS::MessageTarget {
 public:
  bool PostMessage(std::uint32_t message, OS::WPARAM wParam, OS::LPARAM lParam) override {
    posted.push_back({message, wParam, lParam});
    return true;
  }
  std::vector<Posted> posted;
};

// `text` against a pattern in which 'H' stands for an upper-case hexadecimal
// digit, 'd' for a decimal digit and 's' for a sign; every other character
// for itself.
bool MatchesPattern(const std::string& text, const std::string& pattern) {
  if (text.size() != pattern.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool ok = pattern[i] == 'H'   ? (std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F'))
                    : pattern[i] == 'd' ? std::isdigit(static_cast<unsigned char>(c)) != 0
                    : pattern[i] == 's' ? (c == '+' || c == '-')
                                        : c == pattern[i];
    if (!ok) return false;
  }
  return true;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadText(const std::string& path) {
  std::string text;
  EXPECT_TRUE(OS::ReadFile(path, text, 1 << 20)) << path;
  return text;
}

class DialogModelTest : public ::testing::Test {
 protected:
  DialogModelTest()
      : target(std::make_shared<RecordingTarget>()),
        model(
            dir.path(), "None",
            [this](const std::string& q) {
              questions.push_back(q);
              return answer;
            },
            [this](const std::string& m) { errors.push_back(m); }) {
    model.SetNotifyTarget(target);
    model.Fill();
  }

  // A new trace saved with `code`.
  void SaveNew(const std::string& name, const std::string& code) {
    model.New();
    CustomTraceFields f = model.Shown();
    f.name = name;
    f.code = code;
    ASSERT_EQ(model.Save(f), CustomTraceDialogModel::SaveResult::Saved);
  }

  ORV::Test::TempDir dir;
  std::shared_ptr<RecordingTarget> target;
  std::vector<std::string> questions;
  std::vector<std::string> errors;
  bool answer = true;
  CustomTraceDialogModel model;
};

TEST_F(DialogModelTest, NewTraceHasTheDefaultsAndWaitsInEditMode) {
  EXPECT_TRUE(model.Traces().empty());
  EXPECT_FALSE(model.CanEdit());
  model.New();
  ASSERT_EQ(model.Traces().size(), 1u);
  EXPECT_EQ(model.Selection(), 0);
  EXPECT_TRUE(model.Editing());
  CustomTraceFields expected;
  expected.name = "Custom script";
  expected.sampleRate = 0;
  expected.unitIndex = 0;
  expected.unitText = "None";
  expected.autoRange = expected.showUnit = true;
  expected.minimum = "0";
  expected.maximum = "100";
  expected.horizontal = expected.vertical = "5";
  expected.code = "return ";
  EXPECT_EQ(model.Shown(), expected);
  const auto trace = model.Traces()[0]->GetTrace();
  EXPECT_FALSE(trace->Stored);
  EXPECT_TRUE(MatchesPattern(trace->Id, "HHHHHHHH-HHHH-HHHH-HHHH-HHHHHHHHHHHH")) << trace->Id;
  EXPECT_TRUE(MatchesPattern(trace->CreationDate, "dddd-dd-ddTdd:dd:ddsdddd")) << trace->CreationDate;
  model.New();
  EXPECT_NE(model.Traces()[1]->GetTrace()->Id, trace->Id);
  EXPECT_TRUE(FilesIn(dir.path()).empty()) << "nothing is written before a save";
}

TEST_F(DialogModelTest, SavingTwiceLeavesOneDefinitionFileAndTheIndexNamesIt) {
  SaveNew("Twice", "return 1");
  const auto trace = model.Traces()[0]->GetTrace();
  const std::string first = GetFileNamePart(trace->FileName);
  EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{first, "Scripts.xml"}));

  model.Edit();
  CustomTraceFields f = model.Shown();
  f.code = "return 2 * OuterDiameter";
  f.minimum = " -20";
  f.maximum = "abc";
  f.horizontal = "99999999999";
  ASSERT_EQ(model.Save(f), CustomTraceDialogModel::SaveResult::Saved);
  EXPECT_FALSE(model.Editing());
  EXPECT_EQ(model.Selection(), 0);
  const std::string second = ScriptSha256Hex(*trace) + ".xml";
  EXPECT_NE(second, first);
  EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{second, "Scripts.xml"}))
      << "the first code's file is gone, and no temporary file is left";
  EXPECT_EQ(trace->FileName, dir / second);
  EXPECT_TRUE(trace->Stored);
  EXPECT_EQ(trace->MinimumLimit, -20);
  EXPECT_EQ(trace->MaximumLimit, 0) << "text that is not a number reads as 0";
  EXPECT_EQ(trace->HorizontalLabels, 2147483647);

  const auto reread = ReadCustomTraceXml(dir / second);
  EXPECT_EQ(reread->Code, "return 2 * OuterDiameter");
  EXPECT_EQ(ReadText(dir / "Scripts.xml"), "<?xml version=\"1.0\"?>\n<Scripts>\n\t<Script name=\"" + second +
                                               "\" id=\"" + trace->Id + "\" />\n</Scripts>\n");
  ASSERT_EQ(target->posted.size(), 2u);
  EXPECT_EQ(target->posted[1].message, 0x81Au);
  EXPECT_EQ(target->posted[1].wParam, 0u);
  EXPECT_EQ(target->posted[1].lParam, 0);

  // A second trace is saved with its own index in the notification.
  SaveNew("Other", "return 3");
  EXPECT_EQ(target->posted.back().wParam, 1u);
  EXPECT_EQ(model.Lines(), (std::vector<std::string>{"Twice", "Other"}));
}

TEST_F(DialogModelTest, AnInterruptedSaveKeepsTheFormerFiles) {
  SaveNew("Kept", "return 1");
  const auto trace = model.Traces()[0]->GetTrace();
  const std::string file = trace->FileName;
  const std::string index = ReadText(dir / "Scripts.xml");
  model.Edit();
  CustomTraceFields f = model.Shown();
  f.code = "return 5";
  OS::SetAtomicWriteInterruptForTesting(true);
  EXPECT_EQ(model.Save(f), CustomTraceDialogModel::SaveResult::WriteFailed);
  OS::SetAtomicWriteInterruptForTesting(false);
  EXPECT_EQ(trace->FileName, file) << "the trace keeps its former file";
  EXPECT_EQ(ReadCustomTraceXml(file)->Code, "return 1");
  EXPECT_EQ(ReadText(dir / "Scripts.xml"), index);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("could not be saved"), std::string::npos) << errors[0];
}

TEST_F(DialogModelTest, ASyntaxErrorChangesNothingAndKeepsEditing) {
  SaveNew("Good", "return 1");
  const auto trace = model.Traces()[0]->GetTrace();
  const CustomTraces before = *trace;
  const auto files = FilesIn(dir.path());
  const std::size_t posts = target->posted.size();
  // "..." is valid as a chunk of its own, but not inside the script's function.
  for (const char* code : {"return (", "...", "return 1 end end", "x = = 2"}) {
    model.Edit();
    CustomTraceFields f = model.Shown();
    f.name = "Renamed";
    f.code = code;
    errors.clear();
    EXPECT_EQ(model.Save(f), CustomTraceDialogModel::SaveResult::SyntaxError) << code;
    EXPECT_EQ(errors, std::vector<std::string>{"There is a syntax error in the script!"}) << code;
    EXPECT_TRUE(model.Editing()) << code;
    EXPECT_EQ(*trace, before) << code;
    EXPECT_EQ(FilesIn(dir.path()), files) << code;
    EXPECT_EQ(target->posted.size(), posts) << code;
    model.Cancel();
  }
}

TEST_F(DialogModelTest, CancelDropsANewTraceAndRestoresASavedOne) {
  model.New();
  model.Cancel();
  EXPECT_TRUE(model.Traces().empty());
  EXPECT_EQ(model.Selection(), -1);
  EXPECT_FALSE(model.Editing());
  EXPECT_EQ(model.Shown().code, "return ") << "without a selection the editor shows \"return \"";

  SaveNew("Saved", "return 7");
  const CustomTraceFields saved = model.Shown();
  model.Edit();
  model.Cancel();
  EXPECT_EQ(model.Traces().size(), 1u) << "a saved trace stays";
  EXPECT_EQ(model.Selection(), 0);
  EXPECT_EQ(model.Shown(), saved);
  // Save and cancel without a selection do nothing.
  model.Select(-1);
  EXPECT_EQ(model.Save(saved), CustomTraceDialogModel::SaveResult::NoSelection);
}

TEST_F(DialogModelTest, DeleteAsksRemovesTheFileAndRewritesTheIndexWithNamesOnly) {
  SaveNew("First", "return 1");
  SaveNew("Second", "return 2");
  const std::string firstFile = model.Traces()[0]->GetTrace()->FileName;
  const std::string secondName = GetFileNamePart(model.Traces()[1]->GetTrace()->FileName);
  model.Select(0);
  answer = false;
  EXPECT_FALSE(model.Delete());
  EXPECT_EQ(model.Traces().size(), 2u);
  EXPECT_EQ(questions, std::vector<std::string>{"Are you sure you want to delete trace ?"});

  answer = true;
  const std::size_t posts = target->posted.size();
  EXPECT_TRUE(model.Delete());
  EXPECT_EQ(model.Lines(), std::vector<std::string>{"Second"});
  EXPECT_FALSE(OS::PathExists(firstFile));
  EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{secondName, "Scripts.xml"}));
  EXPECT_EQ(ReadText(dir / "Scripts.xml"),
            "<?xml version=\"1.0\"?>\n<Scripts>\n\t<Script name=\"" + secondName + "\" />\n</Scripts>\n");
  ASSERT_EQ(target->posted.size(), posts + 1);
  EXPECT_EQ(target->posted.back().message, 0x81Bu);
  EXPECT_EQ(target->posted.back().wParam, 0u);
}

// A trace whose code does not compile (written by another version, or by
// hand) keeps its place in the index when another trace is saved.
TEST(CustomTraceDialogModel, ATraceThatDoesNotCompileStaysInTheIndex) {
  ORV::Test::TempDir dir;
  CustomTraces broken;
  broken.Id = "BROKEN";
  broken.Name = "Broken";
  broken.Code = "return (";
  const std::string brokenName = ScriptSha256Hex(broken) + ".xml";
  ASSERT_TRUE(WriteCustomTraceXml(broken, dir / brokenName));
  CustomTraces good = broken;
  good.Id = "GOOD";
  good.Name = "Good";
  good.Code = "return 1";
  const std::string goodName = ScriptSha256Hex(good) + ".xml";
  ASSERT_TRUE(WriteCustomTraceXml(good, dir / goodName));
  ASSERT_TRUE(OS::AtomicWriteFile(dir / "Scripts.xml", "<Scripts><Script name=\"" + brokenName + "\"/><Script name=\"" +
                                                           goodName + "\"/></Scripts>"));

  CustomTraceDialogModel model(dir.path(), "None", nullptr, nullptr);
  model.Fill();
  EXPECT_EQ(model.Lines(), (std::vector<std::string>{"Broken", "Good"}));
  EXPECT_EQ(model.Selection(), 0);
  EXPECT_EQ(model.Shown().code, "return (");
  model.Select(1);
  model.Edit();
  CustomTraceFields f = model.Shown();
  f.code = "return 2";
  ASSERT_EQ(model.Save(f), CustomTraceDialogModel::SaveResult::Saved);
  const std::string index = ReadText(dir / "Scripts.xml");
  EXPECT_NE(index.find("name=\"" + brokenName + "\" id=\"BROKEN\""), std::string::npos) << index;
}

TEST(CustomTraceDialogModel, FillingFromAMissingFolderDoesNotCreateIt) {
  ORV::Test::TempDir dir;
  CustomTraceDialogModel model(dir / "absent", "None", nullptr, nullptr);
  model.Fill();
  EXPECT_TRUE(model.Traces().empty());
  EXPECT_FALSE(OS::PathExists(dir / "absent"));
}

TEST(CustomTraceDialogModel, SetCustomTracesTakesTheMapInKeyOrder) {
  std::map<int, std::shared_ptr<CustomTracesWithLuaContext>> map;
  for (int key : {223, 220, 221}) {
    auto trace = std::make_shared<CustomTraces>();
    trace->Name = std::to_string(key);
    map[key] = std::make_shared<CustomTracesWithLuaContext>();
    map[key]->SetTrace(trace);
  }
  CustomTraceDialogModel model("/nonexistent", "None", nullptr, nullptr);
  model.SetCustomTraces(map);
  model.Fill();
  EXPECT_EQ(model.Lines(), (std::vector<std::string>{"220", "221", "223"}));
  EXPECT_EQ(model.Traces()[0], map[220]) << "the contexts are shared, not copied";
}

}  // namespace
}  // namespace ORV::Traces
