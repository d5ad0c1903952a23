#pragma once
// A chart of the workbook, written as one DrawingML chart part
// "/xl/charts/chartN.xml" and shown through a drawing (a two-cell anchor on a
// worksheet, or filling a chartsheet).
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "xlsx/part_files.h"

namespace Xlsx {

class CSheet;

// Diagram codes of CChart::mainDiagram and CChart::secondaryDiagram.
enum ChartDiagram : std::uint32_t {
  kLineDiagram = 0,
  kBarDiagram = 1,
  kScatterDiagram = 2,
  kPieDiagram = 3,
  kNoDiagram = 0xFFFFFFFF,
};

// Marks a skip value (ChartAxis) as not set.
inline constexpr std::uint32_t kNoChartValue = 0xFFFFFFFF;

// Cells first..last, rows 1-based and columns 0-based.
struct CellRange {
  std::uint32_t firstRow = 1;
  std::uint32_t firstColumn = 0;
  std::uint32_t lastRow = 1;
  std::uint32_t lastColumn = 0;
};

struct TickSettings {
  std::uint32_t mark = 0;      // 0 "none", 1 "cross", 2 "in", 3 "out"
  double unit = 0.0;           // written when above 0
  std::uint32_t timeUnit = 0;  // 0 "days", 1 "months", 2 "years"; date axes only
};

struct ShapeFill {
  std::uint32_t kind = 0;          // 0 none, 1 solid, 2 gradient, 3 pattern
  std::string colour;              // RRGGBB
  std::uint32_t gradientPath = 0;  // 0 linear, 1 circle, 2 rectangle, 3 shape
  std::uint32_t focus = 0;         // 0 to 4
  double angle = 0.0;              // degrees
  bool scaled = false;
  std::map<int, std::string> gradientStops;  // position in percent -> RRGGBB
  std::uint32_t pattern = 0;                 // index into the pattern names
  std::string foreground;
  std::string background;
};

// Legend key, value, category name, series name, percent, bubble size,
// leader lines.
using DataLabelFlags = std::array<std::uint8_t, 7>;

struct ChartAxis {
  std::uint32_t id = 0;  // distinct and not 0 for every axis that is written
  XlsxTextRecord title;
  std::uint32_t titleFontSize = 10;
  std::uint32_t position = 0;   // 0 hidden, 1 "l", 2 "r", 3 "t", 4 "b"
  std::uint32_t gridlines = 0;  // 0 none, 1 major, 2 minor, 3 both
  std::uint32_t crosses = 0;    // 0 "autoZero", 1 "min", 2 "max"
  bool sourceLinked = false;
  std::string minimum;
  std::string maximum;
  std::uint32_t tickLabelSkip = kNoChartValue;
  std::uint32_t tickMarkSkip = kNoChartValue;
  std::int32_t labelRotation = -1;  // degrees; -1 = default
  std::uint32_t kind = 0;           // 0 value, 1 date, 2 category axis
  TickSettings majorTicks;
  TickSettings minorTicks;
  std::string numberFormat = "General";
};

struct ChartSeries {
  std::uint32_t markerSymbol = 0;  // 0 "none", 1 "diamond", 2 "circle", 3 "square", 4 "triangle"
  std::uint32_t markerSize = 5;
  std::string markerFillColour;           // RRGGBB
  std::string markerLineColour;           // RRGGBB
  double markerLineWidth = 0.75;          // points
  const CSheet* categorySheet = nullptr;  // none = no category reference
  CellRange categoryRange;
  const CSheet* valueSheet = nullptr;
  CellRange valueRange;
  XlsxTextRecord title;
  std::uint32_t lineStyle = 1;  // 0 no line, 1 line, 2 smoothed line
  double lineWidth = 2.25;      // points
  std::string colour;           // RRGGBB: line colour, or bar colour of bar series
  std::uint32_t dash = 0;       // 0 "solid", 1 "sysDot", 2 "sysDash", 3 "dash"
  std::uint32_t barFill = 1;    // 0 no fill, 1 solid in the series colour
  bool invertIfNegative = false;
  std::string invertColour;     // RRGGBB
  DataLabelFlags dataLabels{};  // pie diagrams only
};

class CChart {
 public:
  // Charts are numbered from 1 in creation order; the number names the part.
  CChart(std::uint64_t number, TempFileRegistry& registry) : number_(number), registry_(registry) {}
  virtual ~CChart() = default;
  CChart(const CChart&) = delete;
  CChart& operator=(const CChart&) = delete;

  std::uint64_t GetNumber() const { return number_; }

  // Writes the chart part. False, and the workbook is not saved, when the
  // chart has no main series (then no part is made), when the main diagram
  // is kNoDiagram (after the head of the part), or when the part could not
  // be written completely.
  bool Save();

  std::vector<ChartSeries> mainSeries;       // on the primary axes
  std::vector<ChartSeries> secondarySeries;  // on the secondary axes
  XlsxTextRecord title;                      // empty = no title
  std::uint32_t titleFontSize = 14;
  std::uint32_t legend = 0;     // 0 none; 1-4 "l" "r" "t" "b" overlaid, 5-8 the same beside the plot
  std::uint32_t dataTable = 0;  // 0 none, 1 data table, 2 with legend keys
  std::uint32_t mainDiagram = kLineDiagram;
  std::uint32_t secondaryDiagram = kNoDiagram;  // kNoDiagram: no secondary diagram and axes
  std::uint32_t barDirection = 0;               // 0 "col", 1 "bar"
  std::uint32_t barGrouping = 0;                // 0 "clustered", 1 "stacked", 2 "percentStacked"
  std::uint32_t scatterStyle = 1;               // 0 "smoothMarker", 1 "lineMarker"
  std::uint32_t blanks = 0;                     // 0 "gap", 1 "zero", 2 "span"
  bool plotHiddenCells = false;
  ShapeFill plotAreaFill;
  ShapeFill chartSpaceFill;
  DataLabelFlags dataLabels{};
  std::uint16_t firstSliceAngle = 0;  // degrees, pie diagrams
  ChartAxis primaryX;
  ChartAxis primaryY;
  ChartAxis secondaryX;
  ChartAxis secondaryY;
  XlsxTextRecord name;  // the name of the frame that shows the chart

 private:
  std::uint64_t number_;
  TempFileRegistry& registry_;
};

}  // namespace Xlsx
