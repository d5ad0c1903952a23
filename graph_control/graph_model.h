#pragma once
// The graph control's model: its elements, annotations and cursors with the
// current item of each, the stored properties with their change actions and
// persistence, the visible ranges and their fitting, the selection and the
// statistics over it. The control's window, its drawing and its dispatch
// table build on this class; the operations carry the names the control's
// dispatch interface gives them (Set<Name> for a property put, the field of
// Props() for its get). No Qt here.
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "graph_control/graph_items.h"
#include "graph_control/property_bag.h"

namespace ORV::OS {
class TickSource;
}

namespace ORV::Graph {

// What the model asks of the window that shows it.
class GraphHost {
 public:
  virtual ~GraphHost() = default;
  // Invalidates the whole control (painted later).
  virtual void Redraw() {}
  // Invalidates the plot area only.
  virtual void RedrawPlotArea() {}
  // Invalidates the whole control and paints it before returning.
  virtual void RepaintNow() {}
  virtual void TrackModeChanged(std::int32_t /*newState*/) {}
};

// The stored properties. Gets read these fields; puts go through the model's
// Set<Name> functions, which run the change actions.
struct GraphProperties {
  ColorRef AxisColor = 0;
  ColorRef GridColor = 0x808080;
  ColorRef LabelColor = 0;
  ColorRef CursorColor = 0xFFFFFF;
  std::int16_t XGridNumber = 0;
  std::int16_t YGridNumber = 0;
  bool ShowGrid = false;
  std::string XLabel;
  std::string YLabel;
  ColorRef ElementLineColor = 0xFFFFFF;
  ColorRef ElementPointColor = 0xFFFFFF;
  std::int32_t ElementLineType = 0;
  std::int32_t ElementWidth = 0;
  std::int32_t ElementPointSymbol = 0;
  bool ElementSolidPoint = true;
  bool ElementShow = true;
  std::string ElementName;
  bool ElementIdentify = false;
  ColorRef ControlFrameColor = 0xFFFFFF;
  ColorRef PlotAreaColor = 0;
  std::string AnnoLabelCaption;
  double AnnoLabelX = 0.0;
  double AnnoLabelY = 0.0;
  ColorRef AnnoLabelColor = 0xFFFFFF;
  bool AnnoLabelHorizontal = true;
  std::int16_t Annotation = 0;
  bool AnnoVisible = true;
  std::int16_t Element = 0;
  ColorRef AnnoLabelBkColor = 0x787878;
  std::int16_t Cursor = 0;
  double CursorX = 0.0;
  double CursorY = 0.0;
  std::int16_t CursorStyle = 0;
  bool CursorVisible = true;
  std::int16_t CursorMode = 0;
  std::string FormatAxisBottom = "%g";
  std::string FormatAxisLeft = "%g";
  bool YTime = false;
  bool XTime = true;
  bool DrawNoSaveData = true;
  bool UseAutoRange = true;
  std::int32_t TrackMode = 71;
  std::int16_t FrameStyle = 2;  // stored and persisted only; drawing uses its own
  // Stock properties.
  std::string Caption;
  std::int16_t Appearance = 0;
  bool Enabled = true;
  FontDesc TickFont{"Arial", 8, 400};
  FontDesc TitleFont{"Times New Roman", 12, 700};
  FontDesc LabelFont{"Arial", 10, 400};
  FontDesc IdentFont{"Arial", 8, 100};
  FontDesc NoSaveFont{"Times New Roman", 22, 700};
};

// Cached drawing objects that a property change makes stale.
enum class CachedObject { AxisPen, GridPen, FrameBrush, PlotAreaBrush, ElementPens, Fonts, Count };

// The window geometry of the last layout (pixels; right and bottom are the
// far edges, as the drawing uses them).
struct PixelRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

class GraphModel {
 public:
  // `ticks` is the tick count the repaint throttle reads (the system's when
  // null); `host` receives the redraw requests (none when null).
  explicit GraphModel(GraphHost* host = nullptr, OS::TickSource* ticks = nullptr);
  ~GraphModel();
  GraphModel(const GraphModel&) = delete;
  GraphModel& operator=(const GraphModel&) = delete;

  void SetHost(GraphHost* host) { host_ = host; }

  // The window was created: the redraw clock starts now and the first
  // ranges are set.
  void OnCreate();

  // ---- stored properties -------------------------------------------------
  const GraphProperties& Props() const { return props_; }
  void SetAxisColor(ColorRef v);
  void SetGridColor(ColorRef v);
  void SetLabelColor(ColorRef v);
  void SetCursorColor(ColorRef v);
  void SetXGridNumber(std::int16_t v);
  void SetYGridNumber(std::int16_t v);
  void SetShowGrid(bool v);
  void SetXLabel(const std::string& v);
  void SetYLabel(const std::string& v);
  // Element* puts act on the current element; false (invalid argument) when
  // there is none.
  bool SetElementLineColor(ColorRef v);
  bool SetElementPointColor(ColorRef v);
  bool SetElementLineType(std::int32_t v);
  bool SetElementWidth(std::int32_t v);  // clamped to 0..5
  bool SetElementPointSymbol(std::int32_t v);
  bool SetElementSolidPoint(bool v);
  bool SetElementShow(bool v);
  bool SetElementName(const std::string& v);
  void SetElementIdentify(bool v);
  void SetControlFrameColor(ColorRef v);
  void SetPlotAreaColor(ColorRef v);
  void SetAnnoLabelCaption(const std::string& v);
  void SetAnnoLabelX(double v);
  void SetAnnoLabelY(double v);
  void SetAnnoLabelColor(ColorRef v);
  void SetAnnoLabelHorizontal(bool v);
  void SetAnnotation(std::int16_t index);
  void SetAnnoVisible(bool v);
  void SetElement(std::int16_t index);
  void SetAnnoLabelBkColor(ColorRef v);
  void SetCursor(std::int16_t index);
  void SetCursorX(double v);
  void SetCursorY(double v);
  void SetCursorStyle(std::int16_t v);
  void SetCursorVisible(bool v);
  // Mode 2 snaps the current cursor to the nearest point of the current
  // element; false (invalid argument) when that element has no points.
  bool SetCursorMode(std::int16_t v);
  void SetFormatAxisBottom(const std::string& v);
  void SetFormatAxisLeft(const std::string& v);
  void SetYTime(bool v);
  void SetXTime(bool v);
  void SetDrawNoSaveData(bool v);
  void SetUseAutoRange(bool v);
  void SetCaption(const std::string& v);
  void SetAppearance(std::int16_t v);
  void SetEnabled(bool v);
  void SetTickFont(const FontDesc& f);
  void SetTitleFont(const FontDesc& f);
  void SetLabelFont(const FontDesc& f);
  void SetIdentFont(const FontDesc& f);
  void SetNoSaveFont(const FontDesc& f);

  // Properties with access functions.
  std::int32_t GetTrackMode() const { return props_.TrackMode; }
  void SetTrackMode(std::int32_t v);
  std::int16_t GetAnnoCount() const { return static_cast<std::int16_t>(annotations_.size()); }
  std::int16_t GetElementCount() const { return static_cast<std::int16_t>(elements_.size()); }
  std::int16_t GetCursorCount() const { return static_cast<std::int16_t>(cursors_.size()); }

  // Persistence: every persisted property in its order, with its default.
  // Loading stores the values without running the change actions.
  static constexpr std::int32_t kPropertyFormatVersion = 0x10000;
  void DoPropExchange(PropertyExchange& px);
  void SaveProperties(PropertyBag& bag);
  void LoadProperties(const PropertyBag& bag);
  // Applies every persisted property's default.
  void ResetProperties();

  // ---- items -------------------------------------------------------------
  void AddElement();
  void DeleteElement(std::int16_t elementId);
  void ClearGraph();
  void PlotXY(double x, double y, std::int16_t elementId);
  void PlotY(double y, std::int16_t elementId);
  double ElementXValue(std::int32_t index, std::int16_t elementId) const;
  double ElementYValue(std::int32_t index, std::int16_t elementId) const;
  void SetElementXValue(std::int32_t index, std::int16_t elementId, double v);
  void SetElementYValue(std::int32_t index, std::int16_t elementId, double v);
  void AddAnnotation();
  void DeleteAnnotation(std::int16_t annoId);
  void DeleteAnnotationByName(const std::string& name);
  void AddCursor();
  void DeleteCursor(std::int16_t cursorId);
  std::int16_t GetCurrentAnnotationID() const { return static_cast<std::int16_t>(annotations_.size()) - 1; }
  void SetGridXElements(std::int32_t elements);
  void SetGridYElements(std::int32_t elements);
  // No operations the interface keeps.
  void PrintGraph() {}
  void AppendGraph() {}
  void RemoveAnnotation(double /*time*/) {}

  const std::vector<std::unique_ptr<GraphElement>>& Elements() const { return elements_; }
  const std::vector<GraphAnnotation>& Annotations() const { return annotations_; }
  const std::vector<GraphCursor>& Cursors() const { return cursors_; }
  // The current element (always one while the graph has elements).
  const GraphElement* CurrentElement() const;
  // The annotation with the smallest time-index key in [loMs, hiMs] that
  // names an existing annotation; -1 when none.
  std::int32_t AnnotationAtTime(std::int64_t loMs, std::int64_t hiMs) const;
  const std::map<std::int64_t, std::int32_t>& AnnotationTimeIndex() const { return timeIndex_; }

  // ---- ranges ------------------------------------------------------------
  bool SetRange(double xmin, double xmax, double ymin, double ymax, bool autoFit);
  void AutoRange();
  double GetRangeMinY() const;
  double GetRangeMaxY() const;
  // Either pointer may be null.
  void GetRangesMinAndMax(double* min, double* max) const;
  double XMin() const { return xMin_; }
  double XMax() const { return xMax_; }
  double YMin() const { return yMin_; }
  double YMax() const { return yMax_; }
  struct SavedRange {
    double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
  };
  const SavedRange& Saved() const { return saved_; }
  // The right-button press with track mode 73 goes back to the saved range.
  void RestoreSavedRange();

  struct DataBounds {
    double minX = 0.0, maxX = 0.0, minY = 0.0, maxY = 1.0;
    bool valid = false;
  };
  const DataBounds& Bounds() const { return bounds_; }

  // ---- selection and statistics ------------------------------------------
  void SelectTrace(double start, double stop);
  void GetActiveSelection(double* start, double* stop) const;
  double SelStart() const { return selStart_; }
  double SelStop() const { return selStop_; }
  // For the mouse: sets the selection without a redraw.
  void SetSelection(double start, double stop) {
    selStart_ = start;
    selStop_ = stop;
  }
  // The index of the first element's point whose X is nearest to x (the
  // earlier of two equally near); -1 when there is none. The element
  // argument is not used.
  std::int32_t NearestIndexFromValue(double x, std::int16_t element = 0) const;
  // Calls f(point) for each point of the first element with
  // SelStart <= X <= SelStop and a finite Y, in order (none without a
  // selection).
  template <class F>
  void ForEachSelectedPoint(F&& f) const {
    if (elements_.empty() || !(selStart_ < selStop_) || selStop_ == 0) return;
    const GraphElement& e = *elements_.front();
    const auto [first, last] = e.RangeOf(selStart_, selStop_);
    const auto& pts = e.Points();
    for (std::size_t i = first; i < last; ++i)
      if (pts[i].X >= selStart_ && pts[i].X <= selStop_ && std::isfinite(pts[i].Y)) f(pts[i]);
  }
  // 0 mean, 1 maximum, 2 minimum, 3 average slope over the selected points
  // of the first element. A statistic that cannot be computed gives 0.0 and
  // sets the count, SD and SE to 0.
  double CalculateAnalysisValue(std::int16_t method);
  std::int64_t GetNumberOfCalculatedAnalysisPoints() const { return lastCount_; }
  double GetStandardDeviationOfCalculatedAnalysisPoints() const { return lastSD_; }
  double GetStandardErrorOfCalculatedAnalysisPoints() const { return lastSE_; }

  // ---- layout and drawing state ------------------------------------------
  // The drawing's division counts and frame style.
  int XDivisions() const { return xDivisions_; }
  int YDivisions() const { return yDivisions_; }
  static constexpr int kDrawFrameStyle = 1;
  // The rectangles of the last layout; the scales follow from them.
  void SetLayout(const PixelRect& bounds, const PixelRect& plot);
  const PixelRect& ControlBounds() const { return controlBounds_; }
  const PixelRect& Plot() const { return plot_; }
  bool LabelsShown() const { return labelsShown_; }
  void SetLabelsShown(bool v) { labelsShown_ = v; }
  double XScale() const { return xScale_; }
  double YScale() const { return yScale_; }
  // Data X of a pixel column and data Y of a pixel row.
  double XAtPixel(double px) const { return (px - plot_.left) * xScale_ + xMin_; }
  double YAtPixel(double py) const { return (plot_.bottom - py) * yScale_ + yMin_; }
  // Pixel column of X and row of Y, in double (not clamped, not rounded).
  double PixelOfX(double x) const { return plot_.left + (x - xMin_) / xScale_; }
  double PixelOfY(double y) const { return plot_.bottom - (y - yMin_) / yScale_; }
  // The column and row a line at X or at Y is drawn on (cursors, selection
  // edges, annotations): the pixel rounded half up, still unclamped.
  double LineColumnOfX(double x) const { return std::floor(PixelOfX(x) + 0.5); }
  double LineRowOfY(double y) const { return std::floor(PixelOfY(y) + 0.5); }
  // The annotation being dragged (-1 none) and the mouse column of the drag.
  std::int32_t DraggedAnnotation() const { return draggedAnnotation_; }
  int DragMouseX() const { return dragMouseX_; }
  void SetDraggedAnnotation(std::int32_t index, int mouseX) {
    draggedAnnotation_ = index;
    dragMouseX_ = mouseX;
  }

  // Bumped whenever a property change makes that cached object stale.
  std::uint32_t CacheGeneration(CachedObject which) const { return generations_[static_cast<int>(which)]; }

  bool IsModified() const { return modified_; }
  void SetModifiedFlag(bool v = true) { modified_ = v; }

 private:
  struct ScanResult {
    double lo, hi;
    long count;
  };
  std::uint32_t Now() const;
  void Redraw();
  void Drop(CachedObject which);
  GraphElement* ElementAt(std::int16_t id) const;
  GraphAnnotation* CurrentAnnotation();
  GraphCursor* CurrentCursor();
  void AppendDefaultElement();
  void WidenBounds(double x, double y, bool rounded);
  template <class F>
  bool PutElement(F apply);
  template <class F>
  void PutAnnotation(F apply);
  template <class F>
  void PutCursor(F apply);
  ScanResult ScanVisibleY();
  ScanResult ScanY(double lo, double hi) const;
  void FailStatistic();

  GraphHost* host_;
  OS::TickSource* ticks_;
  GraphProperties props_;
  bool modified_ = false;
  std::uint32_t generations_[static_cast<int>(CachedObject::Count)] = {};

  std::vector<std::unique_ptr<GraphElement>> elements_;
  std::size_t currentElement_ = 0;
  std::uint64_t nextElementId_ = 1;
  std::vector<GraphAnnotation> annotations_;
  std::vector<GraphCursor> cursors_;
  std::map<std::int64_t, std::int32_t> timeIndex_;

  DataBounds bounds_;
  double xMin_ = 0.0, xMax_ = 1.0, yMin_ = 0.0, yMax_ = 1.0;
  SavedRange saved_;
  std::uint32_t lastRedrawTick_ = 0;
  // Where the previous Y scan found the first point at or beyond XMin.
  struct ScanResume {
    std::uint64_t elementId = 0;
    std::size_t index = 0;
  };
  std::optional<ScanResume> scanResume_;

  double selStart_ = 0.0, selStop_ = 0.0;
  std::int64_t lastCount_ = 0;
  double lastSD_ = 0.0, lastSE_ = 0.0;

  int xDivisions_ = 5, yDivisions_ = 5;
  PixelRect controlBounds_, plot_;
  bool labelsShown_ = false;
  double xScale_ = 0.0, yScale_ = 0.0;
  std::int32_t draggedAnnotation_ = -1;
  int dragMouseX_ = 0;
};

}  // namespace ORV::Graph
