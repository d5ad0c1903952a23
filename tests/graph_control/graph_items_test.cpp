// Elements, annotations and cursors of the graph model: data bounds, current
// items and their puts, the annotation time index.
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <map>
#include <random>

#include "graph_control/graph_model.h"

namespace ORV::Graph {
namespace {

struct RecordingHost : GraphHost {
  int redraws = 0, plotRedraws = 0, repaints = 0;
  std::vector<std::int32_t> trackModes;
  void Redraw() override { ++redraws; }
  void RedrawPlotArea() override { ++plotRedraws; }
  void RepaintNow() override { ++repaints; }
  void TrackModeChanged(std::int32_t v) override { trackModes.push_back(v); }
};

TEST(GraphItems, NewGraphPlotsIntoElementZeroAndWidensBounds) {
  GraphModel g;
  ASSERT_EQ(g.GetElementCount(), 1);
  EXPECT_EQ(g.Elements()[0]->Name, "Element-0");
  EXPECT_FALSE(g.Bounds().valid);
  EXPECT_EQ(g.Bounds().maxY, 1.0);

  g.PlotXY(1.5, -2.5, 0);
  EXPECT_TRUE(g.Bounds().valid);
  EXPECT_EQ(g.Bounds().minX, 1);
  EXPECT_EQ(g.Bounds().maxX, 2);
  EXPECT_EQ(g.Bounds().minY, -3);
  EXPECT_EQ(g.Bounds().maxY, -2);
  g.PlotXY(0.2, -9.1, 0);
  EXPECT_EQ(g.Bounds().minX, 0);
  EXPECT_EQ(g.Bounds().maxX, 2);
  EXPECT_EQ(g.Bounds().minY, -15);
  EXPECT_EQ(g.Bounds().maxY, -2);
  ASSERT_EQ(g.Elements()[0]->Count(), 2u);
  EXPECT_TRUE(g.Elements()[0]->HasData);
  // The element's own bounds always include 0.
  EXPECT_EQ(g.Elements()[0]->MaxY, 0);
  EXPECT_EQ(g.Elements()[0]->MinY, -9.1);

  // An element id that names nothing still widens the data bounds.
  g.PlotXY(40.5, 100.2, 7);
  EXPECT_EQ(g.Bounds().maxX, 41);
  EXPECT_EQ(g.Bounds().maxY, 106);
  EXPECT_EQ(g.Elements()[0]->Count(), 2u);

  // A point that is not finite is kept as a gap but stretches nothing.
  g.PlotXY(50, std::nan(""), 0);
  g.PlotXY(std::numeric_limits<double>::infinity(), 1, 0);
  EXPECT_EQ(g.Bounds().maxX, 41);
  EXPECT_EQ(g.Elements()[0]->Count(), 4u);
}

TEST(GraphItems, PlotYNumbersPointsAndUsesPlainBounds) {
  GraphModel g;
  g.PlotY(1.25, 0);
  g.PlotY(-0.5, 0);
  g.PlotY(2.75, 0);
  g.PlotY(7, 0);
  const auto& p = g.Elements()[0]->Points();
  ASSERT_EQ(p.size(), 4u);
  EXPECT_EQ(p[3].X, 3);
  EXPECT_EQ(p[3].Y, 7);
  EXPECT_EQ(g.Bounds().minX, 0);
  EXPECT_EQ(g.Bounds().maxX, 3);
  EXPECT_EQ(g.Bounds().minY, -0.5);
  EXPECT_EQ(g.Bounds().maxY, 7);
  g.PlotY(1, 3);  // no such element: nothing at all
  EXPECT_EQ(g.Bounds().maxX, 3);
}

TEST(GraphItems, YExtentOverAnyIndexRange) {
  GraphModel g;
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> unit(-100, 100);
  for (int i = 0; i < 1000; ++i) g.PlotXY(i, i == 700 ? std::nan("") : unit(rng), 0);
  GraphElement& e = *g.Elements()[0];
  // Overwriting a point keeps its block's extent right.
  g.SetElementYValue(300, 0, 1e6);
  for (int round = 0; round < 500; ++round) {
    std::size_t a = rng() % 1001, b = rng() % 1001;
    if (a > b) std::swap(a, b);
    double lo = 0, hi = 0, rlo = std::numeric_limits<double>::infinity(), rhi = -rlo;
    bool finite = true;
    for (std::size_t i = a; i < b; ++i) {
      const double y = e.Points()[i].Y;
      finite = finite && std::isfinite(y);
      rlo = std::min(rlo, y);
      rhi = std::max(rhi, y);
    }
    ASSERT_EQ(e.YExtent(a, b, lo, hi), finite) << a << ".." << b;
    if (finite && a < b) {
      EXPECT_EQ(lo, rlo);
      EXPECT_EQ(hi, rhi);
    }
  }
}

TEST(GraphItems, ElementsAddDeleteAndCurrentItemPuts) {
  RecordingHost host;
  GraphModel g(&host);
  g.AddElement();
  g.AddElement();
  EXPECT_EQ(g.Elements()[2]->Name, "Element-2");
  EXPECT_EQ(g.Props().Element, 2);

  EXPECT_TRUE(g.SetElementWidth(9));
  EXPECT_EQ(g.Props().ElementWidth, 5);
  EXPECT_EQ(g.Elements()[2]->Width, 5);
  EXPECT_TRUE(g.SetElementWidth(-3));
  EXPECT_EQ(g.Props().ElementWidth, 0);
  const auto pens = g.CacheGeneration(CachedObject::ElementPens);
  EXPECT_TRUE(g.SetElementLineColor(0x0000FF));
  EXPECT_GT(g.CacheGeneration(CachedObject::ElementPens), pens);
  EXPECT_EQ(g.Elements()[2]->LineColor, 0x0000FFu);

  // Selecting an element loads its values; an index naming none changes nothing.
  g.SetElement(0);
  EXPECT_EQ(g.Props().ElementLineColor, 0u);
  EXPECT_EQ(g.Props().ElementName, "Element-0");
  g.SetElement(9);
  EXPECT_EQ(g.Props().Element, 0);

  g.DeleteElement(1);
  ASSERT_EQ(g.GetElementCount(), 2);
  EXPECT_EQ(g.Elements()[1]->Name, "Element-2");
  EXPECT_EQ(g.Props().Element, 1);

  // Deleting the only element leaves a fresh Element-0.
  GraphModel one;
  one.PlotXY(1, 1, 0);
  one.DeleteElement(0);
  ASSERT_EQ(one.GetElementCount(), 1);
  EXPECT_EQ(one.Elements()[0]->Name, "Element-0");
  EXPECT_EQ(one.Elements()[0]->Count(), 0u);
  EXPECT_FALSE(one.Bounds().valid);
  one.DeleteElement(3);
  EXPECT_EQ(one.GetElementCount(), 1);

  // Point values: get 0.0 for a missing point, put touches no bounds.
  g.PlotXY(3, 4, 0);
  EXPECT_EQ(g.ElementYValue(0, 0), 4);
  EXPECT_EQ(g.ElementYValue(1, 0), 0.0);
  EXPECT_EQ(g.ElementXValue(0, 5), 0.0);
  g.SetElementYValue(0, 0, 400);
  EXPECT_EQ(g.ElementYValue(0, 0), 400);
  EXPECT_EQ(g.Bounds().maxY, 4);
}

TEST(GraphItems, ClearGraphKeepsCursorsAndResetsData) {
  GraphModel g;
  g.AddCursor();
  g.AddElement();
  g.PlotXY(5, 50, 0);
  g.AddAnnotation();
  g.SetAnnoLabelX(5);
  g.SelectTrace(1, 2);
  g.ClearGraph();
  EXPECT_EQ(g.GetCursorCount(), 1);
  EXPECT_EQ(g.GetElementCount(), 1);
  EXPECT_EQ(g.Elements()[0]->Name, "Element-0");
  EXPECT_EQ(g.GetAnnoCount(), 0);
  EXPECT_TRUE(g.AnnotationTimeIndex().empty());
  EXPECT_FALSE(g.Bounds().valid);
  EXPECT_EQ(g.Bounds().minY, 0);
  EXPECT_EQ(g.Bounds().maxY, 1.0);
  EXPECT_EQ(g.SelStart(), 0);
  EXPECT_EQ(g.SelStop(), 0);
}

// Three annotations at 1 s, 2 s and 3 s, each entered in the time index.
void AddThreeAnnotations(GraphModel& g) {
  for (int i = 0; i < 3; ++i) {
    g.AddAnnotation();
    g.SetAnnoLabelX(i + 1.0);
  }
}

TEST(GraphItems, DeletingAnnotationsKeepsTheTimeIndexConsistent) {
  struct Case {
    const char* what;
    std::function<void(GraphModel&)> remove;
    std::map<std::int64_t, std::int32_t> index;
    std::vector<std::string> captions;
  };
  const std::vector<Case> cases = {
      {"by index",
       [](GraphModel& g) { g.DeleteAnnotation(1); },
       {{1000, 0}, {3000, 1}},
       {"Annotation-0", "Annotation-2"}},
      {"first", [](GraphModel& g) { g.DeleteAnnotation(0); }, {{2000, 0}, {3000, 1}}, {"Annotation-1", "Annotation-2"}},
      {"by name",
       [](GraphModel& g) { g.DeleteAnnotationByName("Annotation-1"); },
       {{1000, 0}, {3000, 1}},
       {"Annotation-0", "Annotation-2"}},
      {"out of range",
       [](GraphModel& g) { g.DeleteAnnotation(3); },
       {{1000, 0}, {2000, 1}, {3000, 2}},
       {"Annotation-0", "Annotation-1", "Annotation-2"}},
      {"unknown name",
       [](GraphModel& g) { g.DeleteAnnotationByName("annotation-1"); },
       {{1000, 0}, {2000, 1}, {3000, 2}},
       {"Annotation-0", "Annotation-1", "Annotation-2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GraphModel g;
    AddThreeAnnotations(g);
    c.remove(g);
    EXPECT_EQ(g.AnnotationTimeIndex(), c.index);
    std::vector<std::string> captions;
    for (const auto& a : g.Annotations()) captions.push_back(a.Caption);
    EXPECT_EQ(captions, c.captions);
    EXPECT_EQ(g.GetAnnoCount(), static_cast<int>(c.captions.size()));
    EXPECT_EQ(g.GetCurrentAnnotationID(), g.GetAnnoCount() - 1);
  }

  // A pick at a deleted annotation's time finds nothing, never its successor.
  GraphModel g;
  AddThreeAnnotations(g);
  g.DeleteAnnotation(1);
  EXPECT_EQ(g.AnnotationAtTime(1990, 2010), -1);
  EXPECT_EQ(g.AnnotationAtTime(2990, 3010), 1);
}

TEST(GraphItems, DeleteByNameRemovesOnlyTheLaterOfTwoEqualCaptions) {
  GraphModel g;
  AddThreeAnnotations(g);
  g.SetAnnotation(0);
  g.SetAnnoLabelCaption("Mark");
  g.SetAnnotation(2);
  g.SetAnnoLabelCaption("Mark");
  g.DeleteAnnotationByName("Mark");
  ASSERT_EQ(g.GetAnnoCount(), 2);
  EXPECT_EQ(g.Annotations()[0].Caption, "Mark");
  EXPECT_EQ(g.Annotations()[1].Caption, "Annotation-1");
  EXPECT_EQ(g.AnnotationAtTime(3000, 3000), -1);
}

TEST(GraphItems, AnnotationPickTakesTheSmallestKeyInTheWindow) {
  GraphModel g;
  AddThreeAnnotations(g);
  g.SetAnnotation(2);
  g.SetAnnoLabelX(12.345);
  EXPECT_EQ(g.AnnotationAtTime(12340, 12350), 2);
  EXPECT_EQ(g.AnnotationAtTime(500, 2500), 0);
  EXPECT_EQ(g.AnnotationAtTime(2001, 2999), -1);
  // The whole 64-bit span is one look-up, not one per millisecond.
  EXPECT_EQ(g.AnnotationAtTime(std::numeric_limits<std::int64_t>::min() + 1, std::numeric_limits<std::int64_t>::max()),
            0);
  EXPECT_EQ(MillisecondsOf(-1.0009), -1000);
  EXPECT_EQ(MillisecondsOf(1e300), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(MillisecondsOf(std::nan("")), 0);

  // Puts with no current annotation change nothing.
  GraphModel empty;
  empty.SetAnnoLabelX(4);
  EXPECT_TRUE(empty.AnnotationTimeIndex().empty());
}

TEST(GraphItems, CursorPutsWithoutACurrentCursorOnlyStoreTheValue) {
  RecordingHost host;
  GraphModel g(&host);
  g.SetCursorColor(0x00FF00);
  EXPECT_TRUE(g.SetCursorMode(2));
  g.SetCursorX(3);
  EXPECT_EQ(g.Props().CursorColor, 0x00FF00u);
  EXPECT_EQ(g.Props().CursorMode, 2);
  EXPECT_EQ(g.GetCursorCount(), 0);

  g.AddCursor();
  g.AddCursor();
  g.SetCursorStyle(1);
  EXPECT_EQ(g.Cursors()[1].Style, 1);
  g.DeleteCursor(0);
  EXPECT_EQ(g.Props().Cursor, 0);
  g.DeleteCursor(0);
  EXPECT_EQ(g.Props().Cursor, -1);
  g.SetCursorColor(0x0000FF);
  g.SetCursorMode(1);
  g.SetCursorVisible(false);
  EXPECT_EQ(g.GetCursorCount(), 0);
}

TEST(GraphItems, CursorModeTwoSnapsToTheNearestPointOfTheCurrentElement) {
  GraphModel g;
  g.AddCursor();
  g.SetCursorX(2.2);
  g.SetCursorY(0);
  // Mode 2 with no points fails and leaves the cursor.
  EXPECT_FALSE(g.SetCursorMode(2));
  EXPECT_EQ(g.Cursors()[0].Mode, 0);
  for (int i = 0; i < 5; ++i) g.PlotXY(i, i * 0.1, 0);
  EXPECT_TRUE(g.SetCursorMode(2));
  EXPECT_EQ(g.Cursors()[0].X, 2);
  EXPECT_EQ(g.Props().CursorX, 2);
  EXPECT_DOUBLE_EQ(g.Props().CursorY, 0.2);
  EXPECT_EQ(g.Cursors()[0].Mode, 2);
}

}  // namespace
}  // namespace ORV::Graph
