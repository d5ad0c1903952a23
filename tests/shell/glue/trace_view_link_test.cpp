// The glue driving real trace views through their recording graphs.
#include "shell/glue/trace_view_link.h"

#include <gtest/gtest.h>

#include "tests/shell/glue/glue_fakes.h"
#include "tests/views/view_fixture.h"

namespace ORV::Shell::Test {
namespace {

class TraceViewLinkTest : public Views::Test::ViewFixture {
 protected:
  FakeGlueHost host_;
  TraceGlue glue_{data(), host_, Text};
};

TEST_F(TraceViewLinkTest, TheGlueMovesAndSelectsRealViews) {
  auto first = MakeView();
  auto second = std::make_unique<Views::CPelmoraView>(ViewParams());
  Views::Test::RecordingGraph secondGraph;
  second->AttachGraph(&secondGraph, 0xF0F0F0, false);
  secondGraph.calls.clear();

  glue_.SetLiveTrace(false);
  auto firstLink = std::make_unique<TraceViewLink>(glue_, *first, false);
  TraceViewLink secondLink(glue_, *second, true);
  EXPECT_FALSE(first->Live()) << "a new view takes the application's live flag";
  EXPECT_EQ(glue_.MainView(), firstLink.get());
  glue_.SetLiveTrace(true);
  EXPECT_TRUE(first->Live() && second->Live());
  EXPECT_EQ(graph_.Count("44 "), 0u) << "without live data the window stays";

  firstLink->SelectedInView(3.0, 7.0);
  EXPECT_EQ(graph_.Count("61 "), 0u) << "the source keeps its own selection";
  ASSERT_EQ(secondGraph.Count("61 "), 1u);
  EXPECT_NE(secondGraph.calls.back().find("7"), std::string::npos) << secondGraph.calls.back();

  glue_.SetTimeRange(10.0, 70.0);
  EXPECT_EQ(first->XMin(), 10.0);
  EXPECT_EQ(first->XMax(), 70.0);
  EXPECT_EQ(graph_.Count("44 "), 1u);
  glue_.SetTimeSpan(30);
  EXPECT_EQ(second->WindowLength(), 30);
  EXPECT_EQ(second->XMin(), 10.0);
  EXPECT_EQ(second->XMax(), 40.0);

  first->SetSelectedZone(0, -1);
  EXPECT_EQ(firstLink->ZoneOfCamera(0), 0);
  first->SetSelectedZone(0, 2);
  EXPECT_EQ(firstLink->ZoneOfCamera(0), 2);
  EXPECT_EQ(firstLink->GraphControl(), &graph_);

  firstLink.reset();
  EXPECT_EQ(glue_.Views().size(), 1u);
  EXPECT_EQ(glue_.MainView(), &secondLink);
}

}  // namespace
}  // namespace ORV::Shell::Test
