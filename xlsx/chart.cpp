// The chart part: chart space, plot area with the main and the secondary
// diagram and their axes, legend and fills.
#include "xlsx/chart.h"

#include <array>
#include <cmath>
#include <string_view>

#include "xlsx/namespaces.h"
#include "xlsx/worksheet.h"
#include "xlsx/xml_writer.h"

namespace Xlsx {

namespace {

constexpr std::array<std::string_view, 48> kPatternNames = {
    "pct5",       "pct10",      "pct20",    "pct25",    "pct30",      "pct40",      "pct50",    "pct60",
    "pct70",      "pct75",      "pct80",    "pct90",    "ltDnDiag",   "dkDnDiag",   "wdDnDiag", "ltUpDiag",
    "dkUpDiag",   "wdUpDiag",   "ltVert",   "narVert",  "dkVert",     "ltHorz",     "narHorz",  "dkHorz",
    "dashDnDiag", "dashUpDiag", "dashHorz", "dashVert", "smConfetti", "lgConfetti", "zigZag",   "wave",
    "diagBrick",  "horzBrick",  "weave",    "plaid",    "divot",      "dotGrid",    "dotDmnd",  "shingle",
    "trellis",    "sphere",     "smGrid",   "lgGrid",   "smCheck",    "lgCheck",    "openDmnd", "solidDmnd"};

// A name from a table by code, or `fallback` for a code beyond it.
template <std::size_t N>
std::string_view Pick(const std::array<std::string_view, N>& names, std::uint32_t code, std::string_view fallback) {
  return code < N ? names[code] : fallback;
}

// Colours marked RRGGBB are used only when they have exactly six characters.
bool ValidColour(const std::string& colour) { return colour.size() == 6; }

// A line width in points as EMU (12700 to the point), rounded down.
std::int64_t Emu(double points) { return static_cast<std::int64_t>(std::floor(points * 12700.0)); }

void Val(XmlWriter& w, std::string_view element, std::string_view value) {
  w.BeginLeaf(element);
  w.Attr("val", value);
  w.EndLeaf();
}

void Val(XmlWriter& w, std::string_view element, std::uint64_t value) {
  w.BeginLeaf(element);
  w.Attr("val", value);
  w.EndLeaf();
}

void Val(XmlWriter& w, std::string_view element, double value) {
  w.BeginLeaf(element);
  w.Attr("val", value);
  w.EndLeaf();
}

void SolidFill(XmlWriter& w, const std::string& colour) {
  w.Tag("a:solidFill");
  Val(w, "a:srgbClr", colour);
  w.End();
}

// 'Title'!$A1:$A10
std::string RangeReference(const CSheet* sheet, const CellRange& range) {
  std::string reference = "'";
  if (sheet) reference += sheet->GetTitle().utf8;
  reference +=
      "'!$" + CellReference(range.firstRow, range.firstColumn) + ":$" + CellReference(range.lastRow, range.lastColumn);
  return reference;
}

void NumberReference(XmlWriter& w, std::string_view element, const CSheet* sheet, const CellRange& range) {
  w.Tag(element);
  w.Tag("c:numRef");
  w.TagOnlyContent("c:f", RangeReference(sheet, range));
  w.End();
  w.End();
}

void ShapeProperties(XmlWriter& w, const ShapeFill& fill) {
  switch (fill.kind) {
    case 1:
      if (!ValidColour(fill.colour)) return;
      w.Tag("c:spPr");
      SolidFill(w, fill.colour);
      w.End();
      return;
    case 2: {
      w.Tag("c:spPr");
      OpenTag(w, "a:gradFill", {{"flip", "none"}, {"rotWithShape", "1"}});
      w.Tag("a:gsLst");
      for (const auto& [position, colour] : fill.gradientStops) {
        w.Tag("a:gs");
        w.Attr("pos", std::int32_t{position * 1000});
        Val(w, "a:srgbClr", colour);
        w.End();
      }
      w.End();  // a:gsLst
      if (fill.gradientPath == 0) {
        if (fill.angle != 0.0) {
          w.BeginLeaf("a:lin");
          w.Attr("ang", std::to_string(static_cast<std::int64_t>(fill.angle * 60000.0)));
          w.Attr("scaled", std::uint32_t{fill.scaled ? 1u : 0u});
          w.EndLeaf();
        }
      } else {
        static constexpr std::array<std::string_view, 4> kPaths = {"", "circle", "rect", "shape"};
        const std::uint32_t focus = fill.gradientPath == 3 ? 2 : fill.focus;
        w.Tag("a:path");
        w.Attr("path", Pick(kPaths, fill.gradientPath, "shape"));
        // Where the gradient starts (the fill-to rectangle) and how it tiles.
        switch (focus) {
          case 0:
            WriteLeaf(w, "a:fillToRect", {{"l", "100000"}, {"t", "100000"}});
            WriteLeaf(w, "a:tileRect", {{"r", "-100000"}, {"b", "-100000"}});
            break;
          case 1:
            WriteLeaf(w, "a:fillToRect", {{"t", "100000"}, {"r", "100000"}});
            WriteLeaf(w, "a:tileRect", {{"l", "-100000"}, {"b", "-100000"}});
            break;
          case 2:
            WriteLeaf(w, "a:fillToRect", {{"l", "50000"}, {"t", "50000"}, {"r", "50000"}, {"b", "50000"}});
            WriteLeaf(w, "a:tileRect");
            break;
          case 3:
            WriteLeaf(w, "a:fillToRect", {{"l", "100000"}, {"b", "100000"}});
            WriteLeaf(w, "a:tileRect", {{"t", "-100000"}, {"r", "-100000"}});
            break;
          case 4:
            WriteLeaf(w, "a:fillToRect", {{"r", "100000"}, {"b", "100000"}});
            WriteLeaf(w, "a:tileRect", {{"l", "-100000"}, {"t", "-100000"}});
            break;
          default:
            break;
        }
        w.End();  // a:path
      }
      w.End();  // a:gradFill
      w.End();  // c:spPr
      return;
    }
    case 3:
      w.Tag("c:spPr");
      w.Tag("a:pattFill");
      w.Attr("prst", Pick(kPatternNames, fill.pattern, ""));
      w.Tag("a:fgClr");
      Val(w, "a:srgbClr", fill.foreground);
      w.End();
      w.Tag("a:bgClr");
      Val(w, "a:srgbClr", fill.background);
      w.End();
      w.End();  // a:pattFill
      w.End();  // c:spPr
      return;
    default:
      return;
  }
}

void Title(XmlWriter& w, const XlsxTextRecord& text, std::uint32_t fontSize, bool rotated) {
  const std::uint64_t size = std::uint64_t{fontSize} * 100;
  w.Tag("c:title");
  w.Tag("c:tx");
  w.Tag("c:rich");
  if (rotated)
    WriteLeaf(w, "a:bodyPr", {{"rot", "-5400000"}, {"vert", "horz"}});
  else
    WriteLeaf(w, "a:bodyPr");
  WriteLeaf(w, "a:lstStyle");
  w.Tag("a:p");
  w.Tag("a:pPr");
  w.BeginLeaf("a:defRPr");
  w.AttrRaw("lang", "en-US");
  w.Attr("sz", size);
  w.EndLeaf();
  w.End();  // a:pPr
  w.Tag("a:r");
  w.BeginLeaf("a:rPr");
  w.AttrRaw("lang", "en-US");
  w.Attr("sz", size);
  w.EndLeaf();
  w.TagOnlyContent("a:t", text.utf8);
  w.End();  // a:r
  WriteLeaf(w, "a:endParaRPr", {{"lang", "en-US"}});
  w.End();  // a:p
  w.End();  // c:rich
  w.End();  // c:tx
  WriteLeaf(w, "c:layout");
  Val(w, "c:overlay", "0");
  w.End();  // c:title
}

void Legend(XmlWriter& w, std::uint32_t code) {
  if (code == 0 || code > 8) return;
  static constexpr std::array<std::string_view, 4> kLetters = {"l", "r", "t", "b"};
  w.Tag("c:legend");
  Val(w, "c:legendPos", kLetters[(code - 1) % 4]);
  WriteLeaf(w, "c:layout");
  Val(w, "c:overlay", code <= 4 ? "1" : "0");
  w.End();
}

void DataTable(XmlWriter& w, std::uint32_t mode) {
  if (mode == 0) return;
  w.Tag("c:dTable");
  Val(w, "c:showHorzBorder", "1");
  Val(w, "c:showVertBorder", "1");
  Val(w, "c:showOutline", "1");
  if (mode == 2) Val(w, "c:showKeys", "1");
  w.End();
}

void DataLabels(XmlWriter& w, const DataLabelFlags& flags, bool leaderLines) {
  static constexpr std::array<std::string_view, 7> kNames = {"c:showLegendKey",  "c:showVal",     "c:showCatName",
                                                             "c:showSerName",    "c:showPercent", "c:showBubbleSize",
                                                             "c:showLeaderLines"};
  w.Tag("c:dLbls");
  for (std::size_t i = 0; i < (leaderLines ? 7u : 6u); ++i) Val(w, kNames[i], flags[i] ? "1" : "0");
  w.End();
}

void Marker(XmlWriter& w, const ChartSeries& series, std::string_view symbol) {
  w.Tag("c:marker");
  Val(w, "c:symbol", symbol);
  Val(w, "c:size", std::uint64_t{series.markerSize});
  const bool fill = ValidColour(series.markerFillColour);
  const bool line = ValidColour(series.markerLineColour);
  if (fill || line) {
    w.Tag("c:spPr");
    if (fill) SolidFill(w, series.markerFillColour);
    if (line) {
      w.Tag("a:ln");
      w.Attr("w", std::to_string(Emu(series.markerLineWidth)));
      SolidFill(w, series.markerLineColour);
      w.End();
    }
    w.End();
  }
  w.End();  // c:marker
}

std::string_view MarkerSymbol(std::uint32_t code) {
  static constexpr std::array<std::string_view, 5> kSymbols = {"none", "diamond", "circle", "square", "triangle"};
  return Pick(kSymbols, code, "none");
}

// The series title as a cached text reference (line diagrams) or a plain
// value (the others).
void SeriesTitle(XmlWriter& w, const XlsxTextRecord& title, bool cached) {
  if (title.IsEmpty()) return;
  w.Tag("c:tx");
  if (cached) {
    w.Tag("c:strRef");
    w.Tag("c:strCache");
    Val(w, "c:ptCount", "1");
    OpenTag(w, "c:pt", {{"idx", "0"}});
    w.TagOnlyContent("c:v", title.utf8);
    w.End();  // c:pt
    w.End();  // c:strCache
    w.End();  // c:strRef
  } else {
    w.TagOnlyContent("c:v", title.utf8);
  }
  w.End();  // c:tx
}

void SeriesLine(XmlWriter& w, const ChartSeries& series) {
  static constexpr std::array<std::string_view, 4> kDashes = {"solid", "sysDot", "sysDash", "dash"};
  w.Tag("c:spPr");
  w.Tag("a:ln");
  if (series.lineStyle != 0) {
    w.Attr("w", std::to_string(Emu(series.lineWidth)));
    if (ValidColour(series.colour)) SolidFill(w, series.colour);
    Val(w, "a:prstDash", Pick(kDashes, series.dash, "solid"));
  } else {
    w.AttrRaw("w", "28000");
    WriteLeaf(w, "a:noFill");
  }
  w.End();  // a:ln
  w.End();  // c:spPr
}

// Categories are left out when no sheet is named or the range ends at row 0,
// column 0 (an unset range).
void Categories(XmlWriter& w, const ChartSeries& series) {
  if (series.categorySheet && !(series.categoryRange.lastRow == 0 && series.categoryRange.lastColumn == 0))
    NumberReference(w, "c:cat", series.categorySheet, series.categoryRange);
}

void Smooth(XmlWriter& w, const ChartSeries& series) { Val(w, "c:smooth", series.lineStyle == 2 ? "1" : "0"); }

void AxisIds(XmlWriter& w, std::uint32_t x, std::uint32_t y) {
  Val(w, "c:axId", std::uint64_t{x});
  Val(w, "c:axId", std::uint64_t{y});
}

void SeriesHead(XmlWriter& w, std::uint64_t index) {
  w.Tag("c:ser");
  Val(w, "c:idx", index);
  Val(w, "c:order", index);
}

// One diagram over `series`, numbered from `firstIndex`, on the axes x and y.
void Diagram(XmlWriter& w, const CChart& chart, std::uint32_t code, const std::vector<ChartSeries>& series,
             std::uint64_t firstIndex, std::uint32_t xAxis, std::uint32_t yAxis) {
  std::uint64_t index = firstIndex;
  switch (code) {
    case kLineDiagram:
      w.Tag("c:lineChart");
      Val(w, "c:grouping", "standard");
      Val(w, "c:varyColors", "0");
      for (const ChartSeries& s : series) {
        SeriesHead(w, index++);
        SeriesTitle(w, s.title, true);
        SeriesLine(w, s);
        Marker(w, s, MarkerSymbol(s.markerSymbol));
        Categories(w, s);
        NumberReference(w, "c:val", s.valueSheet, s.valueRange);
        Smooth(w, s);
        w.End();  // c:ser
      }
      break;
    case kBarDiagram: {
      static constexpr std::array<std::string_view, 2> kDirections = {"col", "bar"};
      static constexpr std::array<std::string_view, 3> kGroupings = {"clustered", "stacked", "percentStacked"};
      w.Tag("c:barChart");
      if (chart.barDirection < kDirections.size()) Val(w, "c:barDir", kDirections[chart.barDirection]);
      if (chart.barGrouping < kGroupings.size()) Val(w, "c:grouping", kGroupings[chart.barGrouping]);
      Val(w, "c:varyColors", "1");
      for (const ChartSeries& s : series) {
        SeriesHead(w, index++);
        SeriesTitle(w, s.title, false);
        if (s.barFill == 0) {
          w.Tag("c:spPr");
          WriteLeaf(w, "a:noFill");
          w.End();
        } else if (s.barFill == 1) {
          w.Tag("c:spPr");
          SolidFill(w, s.colour);
          w.End();
        }
        Val(w, "c:invertIfNegative", s.invertIfNegative ? "1" : "0");
        Categories(w, s);
        NumberReference(w, "c:val", s.valueSheet, s.valueRange);
        if (s.invertIfNegative && s.barFill == 1) {
          w.Tag("c:extLst");
          w.Tag("c:ext");
          w.AttrRaw("uri", "{6F2FDCE9-48DA-4B69-8628-5D25D57E5C99}");
          w.AttrRaw("xmlns:c14", Ns::kDrawingChart2007);
          w.Tag("c14:invertSolidFillFmt");
          w.Tag("c14:spPr");
          w.AttrRaw("xmlns:c14", Ns::kDrawingChart2007);
          SolidFill(w, s.invertColour);
          w.End();  // c14:spPr
          w.End();  // c14:invertSolidFillFmt
          w.End();  // c:ext
          w.End();  // c:extLst
        }
        w.End();  // c:ser
      }
      break;
    }
    case kScatterDiagram: {
      static constexpr std::array<std::string_view, 2> kStyles = {"smoothMarker", "lineMarker"};
      w.Tag("c:scatterChart");
      if (chart.scatterStyle < kStyles.size()) Val(w, "c:scatterStyle", kStyles[chart.scatterStyle]);
      Val(w, "c:varyColors", "0");
      for (const ChartSeries& s : series) {
        SeriesHead(w, index++);
        SeriesTitle(w, s.title, false);
        SeriesLine(w, s);
        Marker(w, s, chart.scatterStyle == 1 ? MarkerSymbol(s.markerSymbol) : "none");
        NumberReference(w, "c:xVal", s.categorySheet, s.categoryRange);
        NumberReference(w, "c:yVal", s.valueSheet, s.valueRange);
        Smooth(w, s);
        w.End();  // c:ser
      }
      break;
    }
    case kPieDiagram:
      w.Tag("c:pieChart");
      Val(w, "c:varyColors", "1");
      for (const ChartSeries& s : series) {
        SeriesHead(w, index++);
        SeriesTitle(w, s.title, false);
        DataLabels(w, s.dataLabels, true);
        Categories(w, s);
        NumberReference(w, "c:val", s.valueSheet, s.valueRange);
        w.End();  // c:ser
      }
      DataLabels(w, chart.dataLabels, true);
      Val(w, "c:firstSliceAng", std::uint64_t{chart.firstSliceAngle});
      w.End();  // c:pieChart
      return;
    default:
      return;
  }
  DataLabels(w, chart.dataLabels, false);
  if (code == kLineDiagram) {
    Val(w, "c:marker", "1");
    Val(w, "c:smooth", "0");
  }
  AxisIds(w, xAxis, yAxis);
  w.End();  // the diagram
}

std::string_view AxisElement(const ChartAxis& axis) {
  return axis.kind == 1 ? "c:dateAx" : axis.kind == 2 ? "c:catAx" : "c:valAx";
}

void Units(XmlWriter& w, const ChartAxis& axis) {
  static constexpr std::array<std::string_view, 3> kTimeUnits = {"days", "months", "years"};
  const bool date = axis.kind == 1;
  if (axis.majorTicks.unit > 0) Val(w, "c:majorUnit", axis.majorTicks.unit);
  if (date) Val(w, "c:majorTimeUnit", Pick(kTimeUnits, axis.majorTicks.timeUnit, "days"));
  if (axis.minorTicks.unit > 0) Val(w, "c:minorUnit", axis.minorTicks.unit);
  if (date) Val(w, "c:minorTimeUnit", Pick(kTimeUnits, axis.minorTicks.timeUnit, "days"));
}

// One axis element, closed. Children go in the order readers require of the
// axis's kind, so a child that the kind does not have is left out: label
// spacing exists on category and date axes only, the crossing rule and units
// on value axes, and on date axes units with their time units.
void Axis(XmlWriter& w, const ChartAxis& axis, std::uint32_t crossingId, bool xSide) {
  static constexpr std::array<std::string_view, 5> kPositions = {"", "l", "r", "t", "b"};
  static constexpr std::array<std::string_view, 3> kCrosses = {"autoZero", "min", "max"};
  static constexpr std::array<std::string_view, 4> kMarks = {"none", "cross", "in", "out"};
  const bool category = axis.kind == 2;
  const bool date = axis.kind == 1;
  const bool value = !category && !date;
  w.Tag(AxisElement(axis));
  Val(w, "c:axId", std::uint64_t{axis.id});
  w.Tag("c:scaling");
  Val(w, "c:orientation", "minMax");
  if (!axis.maximum.empty()) Val(w, "c:max", axis.maximum);
  if (!axis.minimum.empty()) Val(w, "c:min", axis.minimum);
  w.End();  // c:scaling
  Val(w, "c:delete", axis.position == 0 ? "1" : "0");
  const bool placed = axis.position >= 1 && axis.position <= 4;
  Val(w, "c:axPos", placed ? kPositions[axis.position] : (xSide ? "b" : "l"));
  if (axis.gridlines == 1 || axis.gridlines == 3) WriteLeaf(w, "c:majorGridlines");
  if (axis.gridlines == 2 || axis.gridlines == 3) WriteLeaf(w, "c:minorGridlines");
  if (!axis.title.IsEmpty()) Title(w, axis.title, axis.titleFontSize, !xSide);
  w.BeginLeaf("c:numFmt");
  w.Attr("formatCode", axis.numberFormat);
  w.Attr("sourceLinked", std::uint32_t{axis.sourceLinked ? 1u : 0u});
  w.EndLeaf();
  Val(w, "c:majorTickMark", Pick(kMarks, axis.majorTicks.mark, "none"));
  Val(w, "c:minorTickMark", Pick(kMarks, axis.minorTicks.mark, "none"));
  Val(w, "c:tickLblPos", "nextTo");
  if (xSide && axis.labelRotation != -1) {
    w.Tag("c:txPr");
    w.BeginLeaf("a:bodyPr");
    w.Attr("rot", std::to_string(std::int64_t{axis.labelRotation} * 60000));
    w.EndLeaf();
    WriteLeaf(w, "a:lstStyle");
    w.Tag("a:p");
    w.Tag("a:pPr");
    WriteLeaf(w, "a:defRPr");
    w.End();
    WriteLeaf(w, "a:endParaRPr", {{"lang", "en-US"}});
    w.End();  // a:p
    w.End();  // c:txPr
  }
  if (crossingId != 0) {
    Val(w, "c:crossAx", std::uint64_t{crossingId});
    if (axis.crosses < kCrosses.size())
      Val(w, "c:crosses", kCrosses[axis.crosses]);
    else
      WriteLeaf(w, "c:crosses");
    if (!xSide && value) Val(w, "c:crossBetween", "between");
  }
  if (xSide && !value) {
    Val(w, "c:auto", "1");
    if (category) Val(w, "c:lblAlgn", "ctr");
    Val(w, "c:lblOffset", "100");
  }
  if (!category) Units(w, axis);
  if (xSide && category) {
    if (axis.tickLabelSkip != kNoChartValue) Val(w, "c:tickLblSkip", std::uint64_t{axis.tickLabelSkip});
    if (axis.tickMarkSkip != kNoChartValue) Val(w, "c:tickMarkSkip", std::uint64_t{axis.tickMarkSkip});
    Val(w, "c:noMultiLvlLbl", "0");
  }
  w.End();
}

}  // namespace

bool CChart::Save() {
  if (mainSeries.empty()) return false;
  XmlWriter w(registry_.RegisterPartFile("/xl/charts/chart" + std::to_string(number_) + ".xml"));
  OpenTag(w, "c:chartSpace",
          {{"xmlns:c", Ns::kDrawingChart}, {"xmlns:a", Ns::kDrawingMain}, {"xmlns:r", Ns::kDocumentRelationships}});
  Val(w, "c:date1904", "0");
  Val(w, "c:lang", "en-US");
  Val(w, "c:roundedCorners", "0");
  OpenTag(w, "mc:AlternateContent", {{"xmlns:mc", Ns::kMarkupCompatibility}});
  OpenTag(w, "mc:Choice", {{"Requires", "c14"}, {"xmlns:c14", Ns::kDrawingChart2007}});
  Val(w, "c14:style", "102");
  w.End();
  w.Tag("mc:Fallback");
  Val(w, "c:style", "2");
  w.End();
  w.End();  // mc:AlternateContent
  w.Tag("c:chart");
  if (!title.IsEmpty()) Title(w, title, titleFontSize, false);
  Val(w, "c:autoTitleDeleted", "0");
  w.Tag("c:plotArea");
  WriteLeaf(w, "c:layout");
  if (mainDiagram == kNoDiagram) {
    w.Close();
    return false;
  }
  Diagram(w, *this, mainDiagram, mainSeries, 0, primaryX.id, primaryY.id);
  const bool secondary = !secondarySeries.empty();
  if (secondary) Diagram(w, *this, secondaryDiagram, secondarySeries, mainSeries.size(), secondaryX.id, secondaryY.id);
  if (mainDiagram != kPieDiagram) {
    Axis(w, primaryX, primaryY.id, true);
    Axis(w, primaryY, primaryX.id, false);
    if (secondary && secondaryDiagram != kNoDiagram) {
      Axis(w, secondaryX, secondaryY.id, true);
      Axis(w, secondaryY, secondaryX.id, false);
    }
  }
  DataTable(w, dataTable);
  ShapeProperties(w, plotAreaFill);
  w.End();  // c:plotArea
  Legend(w, legend);
  Val(w, "c:plotVisOnly", plotHiddenCells ? "0" : "1");
  static constexpr std::array<std::string_view, 3> kBlanks = {"gap", "zero", "span"};
  if (blanks < kBlanks.size()) Val(w, "c:dispBlanksAs", kBlanks[blanks]);
  Val(w, "c:showDLblsOverMax", "0");
  w.End();  // c:chart
  ShapeProperties(w, chartSpaceFill);
  return w.Close();
}

}  // namespace Xlsx
