// The experiment's custom traces: numbering from the user's script index,
// lookup by identity and by name, and traces added from experiment files.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "core/experiment/experiment_data.h"
#include "custom_traces/custom_scripts_index.h"
#include "custom_traces/custom_trace_context.h"
#include "platform/os/folders.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"

namespace ORV {
namespace {

using Traces::CustomTraces;
using Listing = std::vector<std::pair<std::int32_t, std::string>>;

class ExperimentTraces : public testing::Test {
 protected:
  // Writes the user's index with one definition per name, in order.
  void WriteScripts(const std::vector<std::pair<std::string, std::string>>& scripts) {
    const std::string folder = Traces::CustomScriptsFolder();
    ASSERT_TRUE(OS::EnsureDir(folder));
    std::string body;
    for (const auto& [name, code] : scripts) {
      CustomTraces t;
      t.Id = "ID-" + name + "-" + code;
      t.Name = name;
      t.Code = code;
      const std::string file = Traces::ScriptSha256Hex(t) + ".xml";
      ASSERT_TRUE(Traces::WriteCustomTraceXml(t, folder + "/" + file));
      body += "\t<Script name=\"" + file + "\" id=\"" + t.Id + "\" />\n";
    }
    ASSERT_TRUE(
        OS::AtomicWriteFile(folder + "/Scripts.xml", "<?xml version=\"1.0\"?>\n<Scripts>\n" + body + "</Scripts>\n"));
  }

  static std::shared_ptr<CustomTraces> Definition(const std::string& name, const std::string& code = "return 1") {
    auto t = std::make_shared<CustomTraces>();
    t->Name = name;
    t->Code = code;
    return t;
  }

  ORV::Test::SandboxedHome home_;
  ORV::Test::MemoryEventLog log_;
};

TEST_F(ExperimentTraces, IndexTracesAreNumberedFrom220InIndexOrder) {
  WriteScripts({{"Ratio", "return 2"}, {"Sum", "return 3"}, {"Zero", "return 0"}});
  ExperimentData d{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};  // loads the user's index
  EXPECT_EQ(d.GetCustomTraces(), (Listing{{220, "Ratio"}, {221, "Sum"}, {222, "Zero"}}));
  const auto sum = d.GetCustomTrace(221);
  ASSERT_NE(sum, nullptr);
  EXPECT_EQ(sum->Run(0, 0, 0), 3.0);

  // The index changes: identities follow the positions at the next load.
  WriteScripts({{"Sum", "return 3"}});
  d.InitCustomTraces();
  EXPECT_EQ(d.GetCustomTraces(), (Listing{{220, "Sum"}}));
  EXPECT_EQ(sum->Run(0, 0, 0), 3.0) << "a holder keeps its trace after the map is replaced";

  WriteScripts({});
  d.InitCustomTraces();
  EXPECT_TRUE(d.GetCustomTraces().empty());
}

TEST_F(ExperimentTraces, LoadByNameRefreshesFromTheIndexAndKeepsOtherIdentities) {
  WriteScripts({{"A", "return 1"}});
  ExperimentData d{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  ASSERT_EQ(d.AddCustomTrace(Definition("From file")), 221);

  WriteScripts({{"A", "return 10"}, {"B", "return 2"}, {"B", "return 20"}});
  const auto b = d.LoadCustomTraces("B");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Run(0, 0, 0), 20.0) << "the last trace of that name";
  EXPECT_EQ(d.GetCustomTraces(), (Listing{{220, "A"}, {221, "B"}, {222, "B"}})) << "221 is replaced by the index";
  EXPECT_EQ(d.GetCustomTrace(220)->Run(0, 0, 0), 10.0);

  WriteScripts({{"C", "return 5"}});
  EXPECT_EQ(d.LoadCustomTraces("b"), nullptr) << "names compare bytewise";
  EXPECT_EQ(d.GetCustomTraces(), (Listing{{220, "C"}, {221, "B"}, {222, "B"}})) << "still refreshed";
}

TEST_F(ExperimentTraces, AddedTracesTakeTheNextIdentityOrTheHeldOneOfTheirName) {
  ExperimentData d{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  EXPECT_EQ(d.AddCustomTrace(Definition("First")), 220);
  EXPECT_EQ(d.AddCustomTrace(Definition("Second")), 221);
  EXPECT_EQ(d.AddCustomTrace(Definition("Third", "return 3")), 222);
  EXPECT_EQ(d.AddCustomTrace(Definition("Second", "return 99")), 221) << "a held name keeps its identity";
  EXPECT_EQ(d.GetCustomTraces().size(), 3u);
  EXPECT_EQ(d.GetCustomTrace(222)->Run(0, 0, 0), 3.0) << "built from the definition";
  EXPECT_EQ(d.GetCustomTrace(221)->Run(0, 0, 0), 1.0);
  EXPECT_EQ(d.AddCustomTrace(nullptr), -1);
}

TEST_F(ExperimentTraces, AnIdentityNotHeldIsListedWithoutATrace) {
  ExperimentData d{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  EXPECT_EQ(d.GetCustomTrace(300), nullptr);
  EXPECT_EQ(d.GetCustomTraces(), (Listing{{300, ""}}));
  EXPECT_EQ(d.AddCustomTrace(Definition("Next")), 301);

  // Built-in kinds and negative numbers are no custom-trace identities.
  EXPECT_EQ(d.GetCustomTrace(4), nullptr);
  EXPECT_EQ(d.GetCustomTrace(-1), nullptr);
  EXPECT_EQ(d.GetCustomTraces().size(), 2u);

  // The largest identity taken: no new trace can be numbered.
  EXPECT_EQ(d.GetCustomTrace(std::numeric_limits<std::int32_t>::max()), nullptr);
  EXPECT_EQ(d.AddCustomTrace(Definition("Overflow")), -1);
  EXPECT_NE(log_.Dump().find("Overflow"), std::string::npos);
}

}  // namespace
}  // namespace ORV
