// The persisted properties: every key with its kind and default, round trips
// through a bag, and loading without change actions.
#include <gtest/gtest.h>

#include "graph_control/graph_model.h"

namespace ORV::Graph {
namespace {

// The persisted keys in their order, with their defaults.
const std::vector<std::pair<std::string, PropertyValue>>& DefaultTable() {
  static const std::vector<std::pair<std::string, PropertyValue>> table = {
      {"ShowGrid", false},
      {"TrackMode", std::int32_t{71}},
      {"FrameStyle", std::int16_t{2}},
      {"PlotAreaColor", ColorRef{0}},
      {"ControlFrameColor", ColorRef{0xFFFFFF}},
      {"AxisColor", ColorRef{0}},
      {"LabelColor", ColorRef{0}},
      {"GridColor", ColorRef{0x808080}},
      {"Cursor", std::int16_t{0}},
      {"CursorStyle", std::int16_t{0}},
      {"CursorMode", std::int16_t{0}},
      {"CursorX", 0.0},
      {"CursorY", 0.0},
      {"CursorColor", ColorRef{0xFFFFFF}},
      {"FormatAxisLeft", std::string("%g")},
      {"FormatAxisBottom", std::string("%g")},
      {"XTime", true},
      {"YTime", false},
      {"Element", std::int16_t{0}},
      {"ElementCount", std::int16_t{1}},  // the mirror of the one element a graph always has
      {"ElementShow", true},
      {"ElementSolidPoint", true},
      {"ElementLineColor", ColorRef{0xFFFFFF}},
      {"ElementPointColor", ColorRef{0xFFFFFF}},
      {"ElementWidth", std::int32_t{0}},
      {"ElementLinetype", std::int32_t{0}},
      {"ElementPointSymbol", std::int32_t{0}},
      {"ElementName", std::string()},
      {"Annotation", std::int16_t{0}},
      {"AnnoCount", std::int16_t{0}},
      {"AnnoLabelCaption", std::string()},
      {"AnnoLabelColor", ColorRef{0xFFFFFF}},
      {"AnnoLabelX", 0.0},
      {"AnnoLabelY", 0.0},
      {"AnnoLabelHorizontal", true},
      {"AnnoVisible", true},
      {"UseAutoRange", true},
      {"TickFont", FontDesc{"Arial", 8, 400}},
      {"TitleFont", FontDesc{"Times New Roman", 12, 700}},
      {"LabelFont", FontDesc{"Arial", 10, 400}},
      {"IdentFont", FontDesc{"Arial", 8, 100}},
      {"NoSaveFont", FontDesc{"Times New Roman", 22, 700}},
  };
  return table;
}

TEST(GraphProperties, ANewGraphSavesEveryKeyWithItsDefaultInOrder) {
  GraphModel g;
  PropertyBag bag;
  g.SaveProperties(bag);
  const auto& entries = bag.Entries();
  ASSERT_EQ(entries.size(), DefaultTable().size() + 1);
  EXPECT_EQ(entries[0].first, "_Version");
  EXPECT_EQ(entries[0].second, PropertyValue(std::int32_t{0x10000}));
  for (std::size_t i = 0; i < DefaultTable().size(); ++i) {
    SCOPED_TRACE(DefaultTable()[i].first);
    EXPECT_EQ(entries[i + 1].first, DefaultTable()[i].first);
    EXPECT_EQ(entries[i + 1].second, DefaultTable()[i].second);
  }
  EXPECT_FALSE(g.IsModified());
}

TEST(GraphProperties, EveryKeyRoundTripsAndMissingKeysLoadTheirDefaults) {
  // A bag with every key changed from its default.
  PropertyBag changed;
  for (const auto& [key, def] : DefaultTable()) {
    PropertyValue v = std::visit(
        [](auto x) -> PropertyValue {
          using T = decltype(x);
          if constexpr (std::is_same_v<T, bool>)
            return !x;
          else if constexpr (std::is_same_v<T, std::string>)
            return x + "x";
          else if constexpr (std::is_same_v<T, FontDesc>) {
            x.face += "x";
            x.italic = true;
            return x;
          } else
            return static_cast<T>(x + 3);
        },
        def);
    changed.Set(key, v);
  }
  GraphModel g;
  g.LoadProperties(changed);
  PropertyBag saved;
  g.SaveProperties(saved);
  for (const auto& [key, v] : changed.Entries()) {
    SCOPED_TRACE(key);
    // The counters mirror the lists, which are not persisted.
    if (key == "ElementCount" || key == "AnnoCount") continue;
    ASSERT_NE(saved.Find(key), nullptr);
    EXPECT_EQ(*saved.Find(key), v);
  }
  EXPECT_EQ(g.Props().ElementLineType, 3);  // "ElementLinetype" with a lower-case t
  EXPECT_EQ(g.Props().TrackMode, 74);

  // An empty bag (or a value of the wrong kind) gives the defaults again.
  PropertyBag wrongKind;
  wrongKind.Set("TrackMode", std::string("71"));
  g.LoadProperties(wrongKind);
  PropertyBag again;
  g.SaveProperties(again);
  for (std::size_t i = 0; i < DefaultTable().size(); ++i) {
    SCOPED_TRACE(DefaultTable()[i].first);
    EXPECT_EQ(again.Entries()[i + 1].second, DefaultTable()[i].second);
  }
}

TEST(GraphProperties, LoadingRunsNoChangeActions) {
  struct Host : GraphHost {
    int calls = 0;
    void Redraw() override { ++calls; }
    void TrackModeChanged(std::int32_t) override { ++calls; }
  } host;
  GraphModel g(&host);
  PropertyBag bag;
  bag.Set("ElementLineColor", ColorRef{0x123456});
  bag.Set("TrackMode", std::int32_t{73});
  g.LoadProperties(bag);
  EXPECT_EQ(g.Props().ElementLineColor, 0x123456u);
  EXPECT_EQ(g.Elements()[0]->LineColor, 0u);
  EXPECT_EQ(g.Props().TrackMode, 73);
  EXPECT_EQ(host.calls, 0);
  EXPECT_EQ(g.Saved().xMax, 0.0);

  // A put is what reaches the item.
  g.SetElementLineColor(0x123456);
  EXPECT_EQ(g.Elements()[0]->LineColor, 0x123456u);
  EXPECT_TRUE(g.IsModified());
}

TEST(GraphProperties, PutsRunTheirChangeActions) {
  struct Host : GraphHost {
    int redraws = 0;
    std::vector<std::int32_t> modes;
    void Redraw() override { ++redraws; }
    void TrackModeChanged(std::int32_t v) override { modes.push_back(v); }
  } host;
  GraphModel g(&host);
  g.SetRange(2, 8, -3, 1, false);
  g.SetTrackMode(73);
  EXPECT_EQ(host.modes, std::vector<std::int32_t>{73});
  EXPECT_EQ(g.Saved().xMin, 2);
  EXPECT_EQ(g.Saved().xMax, 8);
  EXPECT_EQ(g.Saved().yMin, -3);
  EXPECT_EQ(g.Saved().yMax, 1);

  // UseAutoRange and DrawNoSaveData redraw nothing; colours drop their pen.
  host.redraws = 0;
  g.SetUseAutoRange(false);
  g.SetDrawNoSaveData(false);
  EXPECT_EQ(host.redraws, 0);
  const auto grid = g.CacheGeneration(CachedObject::GridPen);
  g.SetGridColor(0xFF);
  EXPECT_EQ(host.redraws, 1);
  EXPECT_GT(g.CacheGeneration(CachedObject::GridPen), grid);
  const auto fonts = g.CacheGeneration(CachedObject::Fonts);
  g.SetIdentFont({"Arial", 9, 400});
  EXPECT_GT(g.CacheGeneration(CachedObject::Fonts), fonts);

  g.SetGridXElements(0);
  g.SetGridYElements(-4);
  EXPECT_EQ(g.XDivisions(), 5);
  EXPECT_EQ(g.YDivisions(), 5);
  g.SetGridXElements(8);
  EXPECT_EQ(g.XDivisions(), 8);
}

}  // namespace
}  // namespace ORV::Graph
