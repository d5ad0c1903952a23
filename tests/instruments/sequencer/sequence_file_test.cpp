// The sequence file: what is written, what is read back, and files that are
// refused without touching the task list.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "platform/os/folders.h"
#include "tests/instruments/sequencer/sequencer_fixture.h"
#include "tests/support/test_world.h"

namespace ORV::Test {
namespace {

using SequenceFileTest = SequencerTest;

std::string ReadText(const std::string& path) {
  std::string text;
  EXPECT_TRUE(OS::ReadFile(path, text));
  return text;
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// A task with every field away from its default.
SequencerTask FullTask() {
  SequencerTask t;
  t.name = "Dilate & <wash> \"fast\" 'now' \xC2\xB5m";
  t.prompt = "Add 10 \xC2\xB5L of drug > 1 mM & wait";
  t.marker = "<marker/> & ]]>";
  t.showMarker = 0;
  t.duration = 125;
  t.waitP1 = 1;
  t.waitP2 = 1;
  t.waitTemperature = 1;
  t.promptUser = 1;
  t.enabled = 0;
  t.pulsation = 1;
  t.pulseRate = 450;
  t.p1 = 80;
  t.p2 = 60;
  t.temperature = 37;
  return t;
}

TEST_F(SequenceFileTest, EveryFieldSurvivesSaveAndLoad) {
  SequencerTask plain = Task("  spaced  ", 0);
  plain.p2 = std::numeric_limits<std::int32_t>::min();
  const std::vector<SequencerTask> list = {FullTask(), plain, SequencerTask{}};
  sequencer().tasks = list;
  sequencer().sequenceModified = 1;
  const std::string path = dir_ / "run.seq";

  ASSERT_TRUE(sequencer().SaveSequence(path));
  EXPECT_EQ(sequencer().sequenceModified, 0);
  EXPECT_EQ(ORV::Test::SharedConfiguration().LastOpenedSequenceFile, path);

  sequencer().ClearTasks();
  sequencer().sequenceModified = 1;
  ORV::Test::SharedConfiguration().LastOpenedSequenceFile = "elsewhere";
  ASSERT_TRUE(sequencer().LoadSequence(path));
  EXPECT_EQ(sequencer().tasks, list);
  EXPECT_EQ(sequencer().sequenceModified, 0);
  EXPECT_EQ(ORV::Test::SharedConfiguration().LastOpenedSequenceFile, path);
}

TEST_F(SequenceFileTest, WriterKeepsTheNamesOrderAndValueForms) {
  SequencerTask t = Task("A&B", 60);
  t.p1 = 80;
  t.waitTemperature = 1;
  t.temperature = 37;
  sequencer().tasks = {t};
  const std::string path = dir_ / "one.seq";
  ASSERT_TRUE(sequencer().SaveSequence(path));
  EXPECT_EQ(ReadText(path),
            "<?xml version='1.0' encoding='UTF-8'?>"
            "<Sequencer Version=\"2\"><Task>"
            "<Name Enabled=\"yes\">A&amp;B</Name>"
            "<Prompt Wait=\"no\"/>"
            "<Duration>60</Duration>"
            "<Inlet Wait=\"no\">80</Inlet>"
            "<Outlet Wait=\"no\">-1</Outlet>"
            "<Temperature Wait=\"yes\">37</Temperature>"
            "<Marker Show=\"yes\"/>"
            "<Pulsation Enabled=\"no\">200</Pulsation>"
            "</Task></Sequencer>");
}

// A file of one task whose body and root attributes are given.
std::string OneTaskFile(const std::string& rootAttributes, const std::string& body) {
  return "<?xml version='1.0' encoding='UTF-8'?>\n<Sequencer" + rootAttributes + ">\n  <Task>\n" + body +
         "\n  </Task>\n</Sequencer>\n";
}

// The text "deep" inside `depth` nested elements.
std::string Nested(std::size_t depth) {
  std::string text;
  for (std::size_t i = 0; i < depth; ++i) text += "<a>";
  text += "deep";
  for (std::size_t i = 0; i < depth; ++i) text += "</a>";
  return text;
}

TEST_F(SequenceFileTest, ReaderAppliesVersionAndValueRules) {
  const std::string named = "<Name Enabled=\"yes\">T</Name>";
  const std::string pulsation = "<Pulsation Enabled=\"yes\">300</Pulsation>";
  struct Case {
    const char* what;
    std::string file;
    std::function<void(SequencerTask&)> expected;  // changes from a default task named "T"
  };
  const Case cases[] = {
      {"version 2 reads the pulsation", OneTaskFile(" Version=\"2\"", named + pulsation),
       [](SequencerTask& t) {
         t.pulsation = 1;
         t.pulseRate = 300;
       }},
      {"version 1 has no pulsation", OneTaskFile(" Version=\"1\"", named + pulsation), {}},
      {"a version that is no number is 0", OneTaskFile(" Version=\"abc\"", named + pulsation), {}},
      {"missing elements keep their defaults", OneTaskFile(" Version=\"2\"", named), {}},
      {"flags are exactly yes",
       OneTaskFile(" Version=\"2\"",
                   "<Name Enabled=\"Yes\">T</Name><Inlet Wait=\"YES\">5</Inlet>"
                   "<Marker Show=\"no\">m</Marker>"),
       [](SequencerTask& t) {
         t.enabled = 0;
         t.p1 = 5;
         t.showMarker = 0;
         t.marker = "m";
       }},
      {"numbers read like the C library's, and saturate",
       OneTaskFile(" Version=\"2\"", named + "<Duration>  42abc</Duration><Inlet Wait=\"no\">99999999999</Inlet>"
                                             "<Outlet Wait=\"no\">-99999999999</Outlet>"
                                             "<Temperature Wait=\"no\">x</Temperature><Pulsation Enabled=\"no\"/>"),
       [](SequencerTask& t) {
         t.duration = 42;
         t.p1 = std::numeric_limits<std::int32_t>::max();
         t.p2 = std::numeric_limits<std::int32_t>::min();
         t.temperature = 0;
         t.pulseRate = 0;
       }},
      {"a later element wins, text is gathered from inside, unknown elements are ignored",
       OneTaskFile(" Version=\"2\"", named + "<Duration>1</Duration><Duration>2</Duration>"
                                             "<Prompt Wait=\"yes\">a<b>b<!--c--></b><![CDATA[<d>]]></Prompt>"
                                             "<name Enabled=\"no\">lower case</name><Extra/>"),
       [](SequencerTask& t) {
         t.duration = 2;
         t.prompt = "ab<d>";
         t.promptUser = 1;
       }},
      {"deep nesting inside a value",
       OneTaskFile(" Version=\"2\"", named + "<Marker Show=\"yes\">" + Nested(100000) + "</Marker>"),
       [](SequencerTask& t) { t.marker = "deep"; }},
  };
  const std::string path = dir_ / "hand.seq";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteText(path, c.file);
    sequencer().ClearTasks();
    ASSERT_TRUE(sequencer().LoadSequence(path));
    SequencerTask expected = Task("T");
    if (c.expected) c.expected(expected);
    EXPECT_EQ(sequencer().tasks, std::vector<SequencerTask>{expected});
  }
}

TEST_F(SequenceFileTest, RefusedFilesLeaveListFlagAndLastFileAlone) {
  const std::string named = "<Name Enabled=\"yes\">T</Name>";
  struct Case {
    const char* what;
    std::optional<std::string> file;  // none: the path is not created
    bool folder = false;              // the path names a folder
  };
  const Case cases[] = {
      {"missing file", std::nullopt},
      {"a folder", std::nullopt, true},
      {"not well-formed", "<Sequencer Version=\"2\"><Task>" + named},
      {"no version", OneTaskFile("", named)},
      {"no task", "<Sequencer Version=\"2\"></Sequencer>"},
      {"name without its flag", OneTaskFile(" Version=\"2\"", "<Name>T</Name>")},
      {"prompt without its flag", OneTaskFile(" Version=\"2\"", named + "<Prompt>p</Prompt>")},
      {"outlet without its flag", OneTaskFile(" Version=\"2\"", named + "<Outlet>1</Outlet>")},
      {"temperature without its flag", OneTaskFile(" Version=\"2\"", named + "<Temperature>1</Temperature>")},
      {"marker without its flag", OneTaskFile(" Version=\"2\"", named + "<Marker>m</Marker>")},
      {"pulsation without its flag", OneTaskFile(" Version=\"2\"", named + "<Pulsation>200</Pulsation>")},
      {"a good task, then a bad one",
       "<Sequencer Version=\"2\"><Task>" + named + "</Task><Task><Inlet>5</Inlet></Task></Sequencer>"},
      {"larger than the cap",
       OneTaskFile(" Version=\"2\"",
                   named + "<Marker Show=\"no\">" + std::string(Sequencer::kMaxFileBytes, 'm') + "</Marker>")},
  };
  const std::vector<SequencerTask> current = {FullTask()};
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir_ / ("refused" + std::to_string(n++) + ".seq");
    if (c.file) WriteText(path, *c.file);
    if (c.folder) {
      ASSERT_TRUE(std::filesystem::create_directory(path));
    }
    sequencer().tasks = current;
    sequencer().sequenceModified = 1;
    ORV::Test::SharedConfiguration().LastOpenedSequenceFile = "previous";

    EXPECT_FALSE(sequencer().LoadSequence(path));
    EXPECT_EQ(sequencer().tasks, current);
    EXPECT_EQ(sequencer().sequenceModified, 1);
    EXPECT_EQ(ORV::Test::SharedConfiguration().LastOpenedSequenceFile, "previous");
  }
}

TEST_F(SequenceFileTest, AFileUpToTheSizeCapLoads) {
  const std::string head = "<Sequencer Version=\"2\"><Task><Name Enabled=\"yes\">T</Name><Marker Show=\"no\">";
  const std::string tail = "</Marker></Task></Sequencer>";
  const std::string path = dir_ / "large.seq";
  WriteText(path, head + std::string(Sequencer::kMaxFileBytes - head.size() - tail.size(), 'm') + tail);
  ASSERT_TRUE(sequencer().LoadSequence(path));
  EXPECT_EQ(sequencer().tasks.at(0).marker.size(), Sequencer::kMaxFileBytes - head.size() - tail.size());
}

TEST_F(SequenceFileTest, ASequenceSavesAndLoadsUnderA250ByteName) {
  // The file system takes names up to 255 bytes; the temporary file beside
  // the target must not need more.
  const std::string path = dir_ / (std::string(246, 's') + ".seq");
  sequencer().tasks = {Task("long")};
  ASSERT_TRUE(sequencer().SaveSequence(path));
  ASSERT_TRUE(sequencer().SaveSequence(path)) << "replacing the file saved before";
  sequencer().ClearTasks();
  ASSERT_TRUE(sequencer().LoadSequence(path));
  EXPECT_EQ(sequencer().tasks, std::vector<SequencerTask>{Task("long")});
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << "temporary file left";
}

TEST_F(SequenceFileTest, AnEmptyListSavesARootThatDoesNotLoad) {
  const std::string path = dir_ / "empty.seq";
  ASSERT_TRUE(sequencer().SaveSequence(path));
  EXPECT_EQ(ReadText(path), "<?xml version='1.0' encoding='UTF-8'?><Sequencer Version=\"2\"/>");
  sequencer().tasks = {FullTask()};
  EXPECT_FALSE(sequencer().LoadSequence(path));
  EXPECT_EQ(sequencer().tasks, std::vector<SequencerTask>{FullTask()});
}

TEST_F(SequenceFileTest, AFailedSaveKeepsThePreviousFileAndTheChangedFlag) {
  const std::string path = dir_ / "kept.seq";
  sequencer().tasks = {Task("old")};
  ASSERT_TRUE(sequencer().SaveSequence(path));
  const std::string before = ReadText(path);

  sequencer().tasks = {Task("new")};
  sequencer().sequenceModified = 1;
  ORV::Test::SharedConfiguration().LastOpenedSequenceFile = "previous";
  // Ended between writing the new file and putting it in place.
  OS::SetAtomicWriteInterruptForTesting(true);
  EXPECT_FALSE(sequencer().SaveSequence(path));
  OS::SetAtomicWriteInterruptForTesting(false);
  EXPECT_EQ(ReadText(path), before);
  // A folder that does not exist.
  EXPECT_FALSE(sequencer().SaveSequence(dir_ / "missing/run.seq"));
  EXPECT_EQ(sequencer().sequenceModified, 1);
  EXPECT_EQ(ORV::Test::SharedConfiguration().LastOpenedSequenceFile, "previous");

  ASSERT_TRUE(sequencer().LoadSequence(path));
  EXPECT_EQ(sequencer().tasks, std::vector<SequencerTask>{Task("old")});
}

TEST_F(SequenceFileTest, LoadLastSequenceReadsTheFileUsedLast) {
  const std::string path = dir_ / "last.seq";
  sequencer().tasks = {FullTask(), Task("second", 5)};
  ASSERT_TRUE(sequencer().SaveSequence(path));
  sequencer().ClearTasks();
  sequencer().LoadLastSequence();
  EXPECT_EQ(sequencer().tasks, (std::vector<SequencerTask>{FullTask(), Task("second", 5)}));
}

}  // namespace
}  // namespace ORV::Test
