#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <functional>
#include <string>

#include "custom_traces/custom_trace_definition.h"
#include "platform/os/folders.h"
#include "tests/support/test_support.h"

namespace ORV::Traces {
namespace {

CustomTraceConstant Constant(std::string_view name, std::int32_t type, std::int64_t integer,
                             std::string_view text = {}) {
  CustomTraceConstant c;
  EXPECT_TRUE(c.SetName(name));
  c.type = type;
  if (type == CustomTraceConstant::kString) {
    EXPECT_TRUE(c.SetText(text));
  } else {
    c.integer = integer;
  }
  return c;
}

CustomTraces FullRecord() {
  CustomTraces t;
  t.Constants = {Constant("Gain", CustomTraceConstant::kInteger, 7),
                 Constant("Offset", CustomTraceConstant::kInteger, -2147483647 - 1),
                 Constant("Label", CustomTraceConstant::kString, 0, "Gefäß <&> \"µm\""),
                 Constant("Odd", CustomTraceConstant::kUnknown, 42)};
  t.Id = "7F3A2B10-0C4D-4E5F-8A9B-1C2D3E4F5A6B";
  t.CreationDate = "2024-03-05T14:07:09+0100";
  t.Code = "local a, b = P1, P2\nreturn a < b and \"x&y\" or ']]>' -- Gefäß\n";
  t.Name = "Wanddicke ØΔ ✓";
  t.ScriptType = 2;
  t.MinimumLimit = -20;
  t.MaximumLimit = 250;
  t.HorizontalLabels = 7;
  t.VerticalLabels = 3;
  t.ShowUnit = false;
  t.AutoRange = true;
  t.UnitType = -1;
  t.UnitTypeString = "dyne/cm²";
  return t;
}

TEST(CustomTraceDefinition, WriteThenReadGivesTheSameRecord) {
  ORV::Test::TempDir dir;
  const std::string path = dir / "trace.xml";
  CustomTraces written = FullRecord();
  ASSERT_TRUE(WriteCustomTraceXml(written, path));
  EXPECT_TRUE(written.FileName.empty()) << "writing does not change FileName";

  std::string error;
  const auto read = ReadCustomTraceXml(path, &error);
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(error, "");
  written.Stored = true;
  written.FileName = path;
  EXPECT_EQ(*read, written);

  // The stored form: declaration, tab indentation, numeric constant types,
  // the code as one line of standard Base64.
  std::string text;
  ASSERT_TRUE(OS::ReadFile(path, text));
  EXPECT_EQ(text.rfind("<?xml version=\"1.0\"?>\n<Trace version=\"1\">\n\t<Type", 0), 0u) << text;
  EXPECT_NE(text.find("\t\t<Constant name=\"Gain\" type=\"1\" value=\"7\" />"), std::string::npos) << text;
  EXPECT_NE(text.find("type=\"2\" value=\"Gefäß &lt;&amp;> &quot;µm&quot;\""), std::string::npos) << text;
  EXPECT_NE(text.find("\t\t<ShowUnit>false</ShowUnit>\n\t\t<AutoRange>true</AutoRange>"), std::string::npos);
  EXPECT_NE(
      text.find("<Code>bG9jYWwgYSwgYiA9IFAxLCBQMgpyZXR1cm4gYSA8IGIgYW5kICJ4JnkiIG9yICddXT4nIC0tIEdlZsOkw58K</Code>"),
      std::string::npos)
      << text;
}

TEST(CustomTraceDefinition, WritesAndReadsUnderA250ByteName) {
  ORV::Test::TempDir dir;
  const std::string path = dir / (std::string(246, 't') + ".xml");
  ASSERT_TRUE(WriteCustomTraceXml(FullRecord(), path));
  ASSERT_TRUE(WriteCustomTraceXml(FullRecord(), path)) << "replacing the file written before";
  const auto read = ReadCustomTraceXml(path, nullptr);
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->Name, FullRecord().Name);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "no temporary file left";
}

TEST(CustomTraceDefinition, HandWrittenFilesReadWithDefaults) {
  struct Case {
    const char* what;
    std::string xml;
    std::function<void(const CustomTraces&)> check;
  };
  const Case cases[] = {
      {"no Config element", "<Trace><Id>X</Id><Script><Code>cmV0dXJuIDE=</Code></Script></Trace>",
       [](const CustomTraces& t) {
         EXPECT_EQ(t.Id, "X");
         EXPECT_EQ(t.Code, "return 1");
         EXPECT_EQ(t.UnitType, 0);
         EXPECT_EQ(t.ScriptType, 0);
         EXPECT_EQ(t.MinimumLimit, 0);
         EXPECT_EQ(t.MaximumLimit, 100);
         EXPECT_EQ(t.HorizontalLabels, 10);
         EXPECT_EQ(t.VerticalLabels, 5);
         EXPECT_TRUE(t.ShowUnit);
         EXPECT_FALSE(t.AutoRange);
       }},
      {"empty Config values and elements in another order",
       "<Trace><Script><Code>\n  cmV0\n dXJu\tIDE=\n</Code></Script><Config><AutoRange/><MaximumLimit></MaximumLimit>"
       "<ShowUnit>0</ShowUnit><MinimumLimit> -5</MinimumLimit><HorizontalLabels>99999999999</HorizontalLabels>"
       "</Config><Name>N</Name></Trace>",
       [](const CustomTraces& t) {
         EXPECT_EQ(t.Code, "return 1") << "white space in the Base64 is ignored";
         EXPECT_EQ(t.Name, "N");
         EXPECT_FALSE(t.AutoRange);
         EXPECT_EQ(t.MaximumLimit, 100);
         EXPECT_FALSE(t.ShowUnit);
         EXPECT_EQ(t.MinimumLimit, -5);
         EXPECT_EQ(t.HorizontalLabels, INT_MAX);
       }},
      {"constant types as words, numbers and unknown",
       "<Trace><Constants><Constant name='a' type='integer' value='12'/><Constant name='b' type='string' value='txt'/>"
       "<Constant name='c' type='2' value='9'/><Constant name='d' type='float' value='3.7'/>"
       "<Constant name='e' type='1' value='-4000000000'/></Constants></Trace>",
       [](const CustomTraces& t) {
         ASSERT_EQ(t.Constants.size(), 5u);
         EXPECT_EQ(t.Constants[0].type, CustomTraceConstant::kInteger);
         EXPECT_EQ(t.Constants[0].integer, 12);
         EXPECT_EQ(t.Constants[1].type, CustomTraceConstant::kString);
         EXPECT_EQ(t.Constants[1].Text(), "txt");
         EXPECT_EQ(t.Constants[2].type, CustomTraceConstant::kString);
         EXPECT_EQ(t.Constants[2].Text(), "9");
         EXPECT_EQ(t.Constants[3].type, CustomTraceConstant::kUnknown);
         EXPECT_EQ(t.Constants[3].integer, 3);
         EXPECT_EQ(t.Constants[4].integer, INT_MIN) << "values are 32-bit";
       }},
      {"a byte-order mark, a name of blanks and non-ASCII text",
       "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?><Trace><Name> "
       "</Name><Config><UnitTypeString>µm²</UnitTypeString></Config>"
       "</Trace>",
       [](const CustomTraces& t) {
         EXPECT_EQ(t.Name, " ");
         EXPECT_EQ(t.UnitTypeString, "µm²");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CustomTraces t;
    std::string error;
    ASSERT_TRUE(ParseCustomTraceXml(c.xml, t, error)) << error;
    EXPECT_TRUE(t.Stored);
    c.check(t);
  }
}

TEST(CustomTraceDefinition, UnsafeOrBrokenFilesAreRefusedWithAReason) {
  const std::string longName(50, 'n');
  std::string manyConstants = "<Trace><Constants>";
  for (std::size_t i = 0; i <= kMaxConstants; ++i) manyConstants += "<Constant name='k' type='1' value='1'/>";
  manyConstants += "</Constants></Trace>";
  struct Case {
    const char* what;
    std::string content;
    const char* reason;
  };
  const Case cases[] = {
      {"not XML", "<Trace><Name>x</Trace>", "not well-formed"},
      {"empty file", "", "not well-formed"},
      {"another document", "<Scripts/>", "no \"Trace\" element"},
      {"code not Base64", "<Trace><Script><Code>cmV0*dXJu</Code></Script></Trace>", "Base64"},
      {"code cut short", "<Trace><Script><Code>cmV0d</Code></Script></Trace>", "Base64"},
      {"constant name of 50 bytes",
       "<Trace><Constants><Constant name='" + longName + "' type='1' value='1'/></Constants></Trace>",
       "longer than 49 bytes"},
      {"constant text of 50 bytes",
       "<Trace><Constants><Constant name='k' type='string' value='" + longName + "'/></Constants></Trace>",
       "longer than 49 bytes"},
      {"too many constants", manyConstants, "constants"},
      {"larger than the limit", "<Trace><Name>" + std::string(kMaxDefinitionFileBytes, 'x') + "</Name></Trace>",
       "larger than"},
  };
  ORV::Test::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir / "t.xml";
    ASSERT_TRUE(OS::AtomicWriteFile(path, c.content));
    std::string error;
    const auto t = ReadCustomTraceXml(path, &error);
    ASSERT_NE(t, nullptr);
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    CustomTraces asCreated;
    asCreated.FileName = path;
    EXPECT_EQ(*t, asCreated);
  }
  for (const std::string& path : {dir / "missing.xml", dir.path()}) {
    std::string error;
    const auto t = ReadCustomTraceXml(path, &error);
    EXPECT_EQ(t->FileName, path);
    EXPECT_FALSE(t->Stored);
    EXPECT_FALSE(error.empty());
  }
}

TEST(CustomTraceDefinition, ConstantFieldsHoldAtMost49Bytes) {
  CustomTraceConstant c;
  EXPECT_TRUE(c.SetName(std::string(49, 'a')));
  EXPECT_EQ(c.Name().size(), 49u);
  EXPECT_FALSE(c.SetName(std::string(50, 'b')));
  EXPECT_EQ(c.Name(), std::string(49, 'a')) << "a refused name leaves the field as it was";
  EXPECT_FALSE(c.SetText(std::string("a\0b", 3)));
  EXPECT_TRUE(c.SetText("short"));
  EXPECT_EQ(c.Text(), "short");
}

TEST(CustomTraceDefinition, FileNameIsTheSha256OfIdAndCode) {
  CustomTraces t;
  EXPECT_EQ(ScriptSha256Hex(t), "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855");
  t.Id = "7F3A2B10-0C4D-4E5F-8A9B-1C2D3E4F5A6B";
  t.Code = "return OuterDiameter * 2 -- µm";
  EXPECT_EQ(ScriptSha256Hex(t), "67234F0DFA5F893B108ACD5C284BEB88413DE7AA716CE1EC28197393C42E13D9");

  CustomTraces otherId = t;
  otherId.Id = "7F3A2B10-0C4D-4E5F-8A9B-1C2D3E4F5A6C";
  CustomTraces otherCode = t;
  otherCode.Code.back() = 'M';
  EXPECT_NE(ScriptSha256Hex(otherId), ScriptSha256Hex(t));
  EXPECT_NE(ScriptSha256Hex(otherCode), ScriptSha256Hex(t));
}

}  // namespace
}  // namespace ORV::Traces
