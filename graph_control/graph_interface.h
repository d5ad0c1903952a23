#pragma once
// The graph control's outward face as its hosts see it: the ProgID, the
// member numbers of its dispatch interface and of its events, and the
// messages it posts to its parent window. Hosts drive the control only
// through these numbers (platform/com/caller.h).
#include <cstdint>

namespace ORV::Graph {

inline constexpr const char* kGraphProgId = "ORVGRAPH3.ORVGraph3Control.1";
inline constexpr const char* kGraphPropPageProgId = "ORVGRAPHV2.ORVGraphV2PropPage.1";
// The identifier of the control's type information (version 1.0), as its
// library registers it.
inline constexpr const char* kGraphTypeLibraryId = "{3D7A9E14-52C6-4F08-B1A3-7E9C0D2F6A58}";

// Posted to the parent window: the wheel turned over an axis zone (wParam
// kWheelLeftAxis or kWheelBottomAxis, lParam +1 forward, -1 backward), and an
// annotation dragged with Ctrl released (wParam its index, lParam its new X
// times 1000).
inline constexpr std::uint32_t WM_GRAPH_AXIS_WHEEL = 0x7FC;
inline constexpr std::uint32_t WM_GRAPH_ANNOTATION_MOVED = 0x7FD;
inline constexpr std::uintptr_t kWheelLeftAxis = 10;
inline constexpr std::uintptr_t kWheelBottomAxis = 11;

namespace Dispid {
enum : std::int32_t {
  AxisColor = 1,
  GridColor = 2,
  LabelColor = 3,
  CursorColor = 4,
  XGridNumber = 5,
  YGridNumber = 6,
  ShowGrid = 7,
  XLabel = 8,
  YLabel = 9,
  ElementLineColor = 10,
  ElementPointColor = 11,
  ElementLineType = 12,
  ElementWidth = 13,
  ElementPointSymbol = 14,
  ElementSolidPoint = 15,
  ElementShow = 16,
  ElementName = 17,
  ElementIdentify = 18,
  ControlFrameColor = 19,
  PlotAreaColor = 20,
  AnnoLabelCaption = 21,
  AnnoLabelX = 22,
  AnnoLabelY = 23,
  AnnoLabelColor = 24,
  AnnoLabelHorizontal = 25,
  Annotation = 26,
  AnnoVisible = 27,
  Element = 28,
  AnnoLabelBkColor = 29,
  Cursor = 30,
  CursorX = 31,
  CursorY = 32,
  CursorStyle = 33,
  CursorVisible = 34,
  CursorMode = 35,
  FormatAxisBottom = 36,
  FormatAxisLeft = 37,
  YTime = 38,
  XTime = 39,
  TrackMode = 40,
  AnnoCount = 41,
  ElementCount = 42,
  CursorCount = 43,
  SetRange = 44,
  AutoRange = 45,
  CopyToClipboard = 46,
  PrintGraph = 47,
  AddElement = 48,
  DeleteElement = 49,
  ClearGraph = 50,
  PlotXY = 51,
  PlotY = 52,
  AddAnnotation = 53,
  DeleteAnnotation = 54,
  AddCursor = 55,
  DeleteCursor = 56,
  ElementXValue = 57,
  ElementYValue = 58,
  SetGridXElements = 59,
  SetGridYElements = 60,
  SelectTrace = 61,
  AppendGraph = 62,
  CalculateAnalysisValue = 63,
  GetActiveSelection = 64,
  NearestIndexFromValue = 65,
  DrawNoSaveData = 67,
  DeleteAnnotationByName = 68,
  RemoveAnnotation = 69,
  GetCurrentAnnotationID = 70,
  UseAutoRange = 71,
  GetNumberOfCalculatedAnalysisPoints = 72,
  GetStandardDeviationOfCalculatedAnalysisPoints = 73,
  GetStandardErrorOfCalculatedAnalysisPoints = 74,
  GetRangeMinY = 75,
  GetRangeMaxY = 76,
  AddMarkerAtCurrentTime = 77,
  GetRangesMinAndMax = 78,
  GetTimeAtPos = 79,
  // Stock properties.
  Enabled = -514,
  Caption = -518,
  Appearance = -520,
};
}  // namespace Dispid

namespace EventId {
enum : std::int32_t {
  CursorPosition = 1,    // (R8 X, R8 Y)
  TrackModeChanged = 2,  // (I4 lNewState)
  OnSelectTrace = 3,     // (R8 start, R8 stop)
  LButtonDBLClick = 4,   // (R8 time)
  Click = -600,          // ()
};
}  // namespace EventId

}  // namespace ORV::Graph
