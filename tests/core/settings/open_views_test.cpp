#include "core/settings/open_views.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/os/folders.h"
#include "tests/core/settings/settings_fixtures.h"

namespace ORV {
namespace {

using ORV::Test::FakeViews;
using ORV::Test::TempDir;

TraceWindowState Window(std::int32_t code, std::int32_t camera, std::vector<std::int32_t> zones) {
  TraceWindowState w;
  w.traceCode = code;
  w.camera = camera;
  w.zones = std::move(zones);
  return w;
}

TEST(OpenViewsXml, WritesSheetsAndTraceWindowsInListOrder) {
  FakeViews views;
  views.actionOpen = true;
  views.windows = {Window(4, 1, {1, 3, -1, -1}), Window(221, 0, {2, 0, 0, 0}), Window(13, 7, {0, 0, 0, 0})};
  TempDir dir;
  ASSERT_EQ(WriteOpenViewsXml(views, dir / "Tarvix.xml"), 0);
  EXPECT_EQ(ORV::Test::ReadAll(dir / "Tarvix.xml"),
            "<?xml version=\"1.0\"?>\n"
            "<OpenViews>\n"
            "\t<Views>\n"
            "\t\t<Action>Yes</Action>\n"
            "\t\t<Data>No</Data>\n"
            "\t</Views>\n"
            "\t<Traces>\n"
            "\t\t<Trace camera=\"1\" zone=\"3\">4</Trace>\n"
            "\t\t<Trace camera=\"0\" zone=\"2\">221</Trace>\n"
            "\t\t<Trace camera=\"7\" zone=\"-1\">13</Trace>\n"
            "\t</Traces>\n"
            "</OpenViews>\n");

  FakeViews none;
  none.dataOpen = true;
  ASSERT_EQ(WriteOpenViewsXml(none, dir / "none.xml"), 0);
  EXPECT_NE(ORV::Test::ReadAll(dir / "none.xml").find("<Data>Yes</Data>\n\t</Views>\n\t<Traces />"), std::string::npos);

  EXPECT_EQ(WriteOpenViewsXml(views, dir / "missing-folder/Tarvix.xml"), -1);
}

std::string ViewsFile(const std::string& action, const std::string& data, const std::string& traces) {
  return "<OpenViews><Views><Action>" + action + "</Action><Data>" + data + "</Data></Views><Traces>" + traces +
         "</Traces></OpenViews>";
}

TEST(OpenViewsXml, SheetFlagSpellings) {
  const std::pair<const char*, bool> cases[] = {
      {"Yes", true}, {"yEs", true}, {"YES", true}, {"No", false}, {"", false}, {"yes please", false}, {"1", false},
  };
  for (const auto& [text, opens] : cases) {
    TempDir dir;
    ORV::Test::WriteAll(dir / "Tarvix.xml", ViewsFile(text, text, ""));
    FakeViews views;
    ReadOpenViewsXml(views, dir / "Tarvix.xml");
    EXPECT_EQ(views.actionOpened, opens ? 1 : 0) << text;
    EXPECT_EQ(views.dataOpened, opens ? 1 : 0) << text;
    EXPECT_TRUE(views.windows.empty()) << text;
  }
}

TEST(OpenViewsXml, ReopensTraceWindowsAfterThoseAlreadyOpen) {
  TempDir dir;
  ORV::Test::WriteAll(dir / "Tarvix.xml", ViewsFile("No", "No",
                                                    "<Trace camera=\"1\" zone=\"2\">4</Trace>"
                                                    "<Trace camera=\"0\" zone=\"1\">220</Trace>"
                                                    "<Trace>13</Trace>"));
  FakeViews views;
  views.windows = {Window(1, 0, {1, 1, 1, 1}), Window(2, 0, {1, 1, 1, 1})};
  ReadOpenViewsXml(views, dir / "Tarvix.xml");

  ASSERT_EQ(views.windows.size(), 5u);
  EXPECT_EQ(views.windows[0].traceCode, 1);  // untouched
  EXPECT_EQ(views.windows[1].traceCode, 2);
  const std::vector<std::string> expected = {
      "open 2",
      "show 2 4",
      "camera 2 1",
      "zone 2 1 2",
      "graph 2 4",
      "open 3",
      "show 3 220",
      "camera 3 0",
      "zone 3 0 1",
      "graph 3 220",
      // Missing camera and zone read as camera 0, zone 0.
      "open 4",
      "show 4 13",
      "camera 4 0",
      "zone 4 0 0",
      "graph 4 13",
  };
  EXPECT_EQ(views.calls, expected);
  EXPECT_FALSE(OS::PathExists(dir / "Tarvix.xml"));
}

TEST(OpenViewsXml, RefusesTraceCodesAndSkipsCamerasAndZonesOutOfRange) {
  struct Case {
    const char* element;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {"<Trace>21</Trace>", {}},
      {"<Trace>25</Trace>", {}},
      {"<Trace>219</Trace>", {}},
      {"<Trace>-1</Trace>", {}},
      {"<Trace>99999999999</Trace>", {}},
      {"<Trace>0</Trace>", {"open 0", "show 0 0", "camera 0 0", "zone 0 0 0", "graph 0 0"}},
      {"<Trace>abc</Trace>", {"open 0", "show 0 0", "camera 0 0", "zone 0 0 0", "graph 0 0"}},
      {"<Trace camera=\"9\" zone=\"1\">4</Trace>", {"open 0", "show 0 4", "graph 0 4"}},
      {"<Trace camera=\"-1\" zone=\"1\">4</Trace>", {"open 0", "show 0 4", "graph 0 4"}},
      {"<Trace camera=\"3\" zone=\"7\">4</Trace>", {"open 0", "show 0 4", "camera 0 3", "graph 0 4"}},
      {"<Trace camera=\"3\" zone=\"-1\">14</Trace>",
       {"open 0", "show 0 14", "camera 0 3", "zone 0 3 -1", "graph 0 14"}},
  };
  for (const auto& c : cases) {
    TempDir dir;
    ORV::Test::WriteAll(dir / "Tarvix.xml", ViewsFile("No", "No", c.element));
    FakeViews views;
    ReadOpenViewsXml(views, dir / "Tarvix.xml");
    EXPECT_EQ(views.calls, c.calls) << c.element;
  }
}

TEST(OpenViewsXml, ReadsOnceAndDeletesTheFileWhateverItHolds) {
  const char* files[] = {
      "not xml at all",
      "<OpenViews><Views><Action>Yes",
      "<Other/>",
      "<OpenViews><Traces/></OpenViews>",
  };
  for (const char* content : files) {
    TempDir dir;
    ORV::Test::WriteAll(dir / "Tarvix.xml", content);
    FakeViews views;
    ReadOpenViewsXml(views, dir / "Tarvix.xml");
    EXPECT_TRUE(views.calls.empty()) << content;
    EXPECT_EQ(views.actionOpened, 0) << content;
    EXPECT_FALSE(OS::PathExists(dir / "Tarvix.xml")) << content;
  }

  // No file: nothing happens. A second read after a successful one reopens nothing.
  TempDir dir;
  ORV::Test::WriteAll(dir / "Tarvix.xml", ViewsFile("Yes", "No", "<Trace>4</Trace>"));
  FakeViews views;
  ReadOpenViewsXml(views, dir / "Tarvix.xml");
  ReadOpenViewsXml(views, dir / "Tarvix.xml");
  EXPECT_EQ(views.actionOpened, 1);
  EXPECT_EQ(views.windows.size(), 1u);
}

TEST(OpenViewsXml, ReopensAtMostTheWindowCap) {
  std::string traces;
  for (int i = 0; i < kMaxReopenedTraceWindows + 10; ++i) traces += "<Trace>4</Trace>";
  TempDir dir;
  ORV::Test::WriteAll(dir / "Tarvix.xml", ViewsFile("No", "No", traces));
  FakeViews views;
  ReadOpenViewsXml(views, dir / "Tarvix.xml");
  EXPECT_EQ(views.windows.size(), static_cast<std::size_t>(kMaxReopenedTraceWindows));
}

}  // namespace
}  // namespace ORV
