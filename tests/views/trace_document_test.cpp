// The trace document: its registry format for the per-kind display
// settings, and the titles it builds.
#include "views/trace_document.h"

#include <gtest/gtest.h>

#include "core/base/app_registry.h"
#include "custom_traces/custom_trace_context.h"
#include "platform/os/registry_store.h"
#include "tests/views/fake_graph.h"

namespace ORV::Views::Test {
namespace {

class TraceDocumentTest : public testing::Test {
 protected:
  std::string Key(const std::string& section) const { return registry_.Root() + "\\" + section; }

  OS::RegistryStore store_;
  AppRegistry registry_{store_};
  CPelmoraDoc doc_{registry_, 5, ProgramText};
};

TEST_F(TraceDocumentTest, SettingsNeverStoredReadAsTheDefaults) {
  std::string unit;
  EXPECT_EQ(doc_.ReadTraceSettings(4, unit), (TraceSettings{0, 100, 10, 5, true, false}));
  EXPECT_EQ(unit, "µm");
}

TEST_F(TraceDocumentTest, SettingsAreStoredUnderTheVersionAndKindName) {
  registry_.SetBase("Elsewhere");
  doc_.WriteTraceSettings(11, TraceSettings{-5, 250, 8, 4, false, true});
  EXPECT_EQ(registry_.Base(), "Elsewhere");
  const std::string key = Key("Version\\5\\Inlet");
  EXPECT_EQ(store_.GetDword(key, "MinimumLimit", 0), static_cast<std::uint32_t>(-5));
  EXPECT_EQ(store_.GetDword(key, "MaximumLimit", 0), 250u);
  EXPECT_EQ(store_.GetDword(key, "HorizontalLabels", 0), 8u);
  EXPECT_EQ(store_.GetDword(key, "VerticalLabels", 0), 4u);
  EXPECT_EQ(store_.GetDword(key, "ShowTraceUnit", 9), 0u);
  EXPECT_EQ(store_.GetDword(key, "AutoRange", 9), 1u);

  std::string unit;
  EXPECT_EQ(doc_.ReadTraceSettings(11, unit), (TraceSettings{-5, 250, 8, 4, false, true}));
  EXPECT_EQ(unit, "mmHg");
  EXPECT_EQ(registry_.Base(), "Elsewhere");
  // Writing took the code and retitled the document.
  EXPECT_EQ(doc_.TraceCode(), 11);
  EXPECT_EQ(doc_.Title(), "Inlet Pressure (P1) ");
}

TEST_F(TraceDocumentTest, OnlyAStoredOneMeansTrue) {
  const std::string key = Key("Version\\5\\Flow");
  store_.SetValue(key, "ShowTraceUnit", OS::RegValue::MakeDword(2));
  store_.SetValue(key, "AutoRange", OS::RegValue::MakeDword(2));
  std::string unit;
  const TraceSettings s = doc_.ReadTraceSettings(14, unit);
  EXPECT_FALSE(s.showTraceUnit);
  EXPECT_FALSE(s.autoRange);
  EXPECT_EQ(unit, "µL/min");
}

TEST_F(TraceDocumentTest, ACustomCodeStoresNothingButRetitles) {
  auto trace = std::make_shared<Traces::CustomTracesWithLuaContext>();
  auto definition = std::make_shared<Traces::CustomTraces>();
  definition->Name = "Tone";
  definition->UnitType = -1;
  definition->UnitTypeString = "a.u.";
  trace->SetTrace(definition);
  doc_.SetTraceSource(221, trace);
  doc_.WriteTraceSettings(221, TraceSettings{1, 2, 3, 4, true, true});
  EXPECT_FALSE(store_.KeyExists(Key("Version")));
  EXPECT_EQ(doc_.TraceCode(), 221);
  EXPECT_EQ(doc_.Title(), "Tone");
  std::string unit;
  doc_.ReadTraceSettings(0, unit);
  EXPECT_EQ(unit, "a.u.");
}

TEST_F(TraceDocumentTest, TitlesAndZones) {
  doc_.SetTraceKind(4);
  doc_.UpdateTitle(2);
  EXPECT_EQ(doc_.Title(), "Zone 2:Outer Diameter");
  EXPECT_EQ(doc_.Zone(), 2);
  doc_.UpdateTitleWithCamera("Camera 2", 3);
  EXPECT_EQ(doc_.Title(), "Camera 2:Zone 3:Outer Diameter");
  doc_.UpdateTitleWithCamera("Camera 2", -1);
  EXPECT_EQ(doc_.Title(), "Camera 2:Outer Diameter");

  // A camera kind keeps the zone; kinds above 10 follow none.
  doc_.SetTraceKind(5);
  EXPECT_EQ(doc_.Zone(), 3);
  doc_.SetTraceKind(15);
  EXPECT_EQ(doc_.Zone(), -1);
  doc_.SetTraceKind(11);
  doc_.UpdateTitle(doc_.Zone());
  EXPECT_EQ(doc_.Title(), "Inlet Pressure (P1) ");
  doc_.SetTraceKind(20);
  doc_.UpdateTitle(-1);
  EXPECT_EQ(doc_.Title(), "Extra 5");
}

}  // namespace
}  // namespace ORV::Views::Test
