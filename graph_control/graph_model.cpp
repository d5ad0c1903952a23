// The graph model's items, properties and persistence. Ranges are in
// graph_ranges.cpp, the selection and statistics in graph_statistics.cpp.
#include "graph_control/graph_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/os/tick_source.h"

namespace ORV::Graph {

namespace {

std::string Numbered(const char* prefix, std::size_t n) { return prefix + std::to_string(n); }

}  // namespace

GraphModel::GraphModel(GraphHost* host, OS::TickSource* ticks) : host_(host), ticks_(ticks) {
  ResetProperties();
  AppendDefaultElement();
  currentElement_ = 0;
  modified_ = false;
}

GraphModel::~GraphModel() = default;

void GraphModel::OnCreate() {
  lastRedrawTick_ = Now();
  SetRange(0, 1, 0, 1, false);
}

std::uint32_t GraphModel::Now() const { return ticks_ ? ticks_->Now() : OS::GetTickCount(); }

void GraphModel::Redraw() {
  if (host_) host_->Redraw();
}

void GraphModel::Drop(CachedObject which) { ++generations_[static_cast<int>(which)]; }

// ---- simple stored properties ----------------------------------------------

#define ORV_GRAPH_PUT(Name, Type, action) \
  void GraphModel::Set##Name(Type v) {    \
    props_.Name = v;                      \
    action;                               \
    modified_ = true;                     \
  }

ORV_GRAPH_PUT(AxisColor, ColorRef, (Drop(CachedObject::AxisPen), Redraw()))
ORV_GRAPH_PUT(GridColor, ColorRef, (Drop(CachedObject::GridPen), Redraw()))
ORV_GRAPH_PUT(LabelColor, ColorRef, Redraw())
ORV_GRAPH_PUT(XGridNumber, std::int16_t, Redraw())
ORV_GRAPH_PUT(YGridNumber, std::int16_t, Redraw())
ORV_GRAPH_PUT(ShowGrid, bool, Redraw())
ORV_GRAPH_PUT(XLabel, const std::string&, Redraw())
ORV_GRAPH_PUT(YLabel, const std::string&, Redraw())
ORV_GRAPH_PUT(ElementIdentify, bool, Redraw())
ORV_GRAPH_PUT(ControlFrameColor, ColorRef, (Drop(CachedObject::FrameBrush), Redraw()))
ORV_GRAPH_PUT(PlotAreaColor, ColorRef, (Drop(CachedObject::PlotAreaBrush), Redraw()))
ORV_GRAPH_PUT(FormatAxisBottom, const std::string&, Redraw())
ORV_GRAPH_PUT(FormatAxisLeft, const std::string&, Redraw())
ORV_GRAPH_PUT(YTime, bool, Redraw())
ORV_GRAPH_PUT(XTime, bool, Redraw())
ORV_GRAPH_PUT(DrawNoSaveData, bool, (void)0)
ORV_GRAPH_PUT(UseAutoRange, bool, (void)0)
ORV_GRAPH_PUT(Caption, const std::string&, Redraw())
ORV_GRAPH_PUT(Appearance, std::int16_t, Redraw())
ORV_GRAPH_PUT(Enabled, bool, Redraw())
ORV_GRAPH_PUT(TickFont, const FontDesc&, (Drop(CachedObject::Fonts), Redraw()))
ORV_GRAPH_PUT(TitleFont, const FontDesc&, (Drop(CachedObject::Fonts), Redraw()))
ORV_GRAPH_PUT(LabelFont, const FontDesc&, (Drop(CachedObject::Fonts), Redraw()))
ORV_GRAPH_PUT(IdentFont, const FontDesc&, (Drop(CachedObject::Fonts), Redraw()))
ORV_GRAPH_PUT(NoSaveFont, const FontDesc&, (Drop(CachedObject::Fonts), Redraw()))

#undef ORV_GRAPH_PUT

void GraphModel::SetTrackMode(std::int32_t v) {
  saved_ = {xMin_, xMax_, yMin_, yMax_};
  props_.TrackMode = v;
  if (host_) host_->TrackModeChanged(v);
  modified_ = true;
}

// ---- current element -------------------------------------------------------

const GraphElement* GraphModel::CurrentElement() const {
  return currentElement_ < elements_.size() ? elements_[currentElement_].get() : nullptr;
}

template <class F>
bool GraphModel::PutElement(F apply) {
  if (currentElement_ >= elements_.size()) return false;
  apply(*elements_[currentElement_]);
  Drop(CachedObject::ElementPens);
  Redraw();
  modified_ = true;
  return true;
}

bool GraphModel::SetElementLineColor(ColorRef v) {
  props_.ElementLineColor = v;
  return PutElement([v](GraphElement& e) { e.LineColor = v; });
}
bool GraphModel::SetElementPointColor(ColorRef v) {
  props_.ElementPointColor = v;
  return PutElement([v](GraphElement& e) { e.PointColor = v; });
}
bool GraphModel::SetElementLineType(std::int32_t v) {
  props_.ElementLineType = v;
  return PutElement([v](GraphElement& e) { e.LineType = v; });
}
bool GraphModel::SetElementWidth(std::int32_t v) {
  v = std::clamp(v, 0, 5);
  props_.ElementWidth = v;
  return PutElement([v](GraphElement& e) { e.Width = v; });
}
bool GraphModel::SetElementPointSymbol(std::int32_t v) {
  props_.ElementPointSymbol = v;
  return PutElement([v](GraphElement& e) { e.PointSymbol = v; });
}
bool GraphModel::SetElementSolidPoint(bool v) {
  props_.ElementSolidPoint = v;
  return PutElement([v](GraphElement& e) { e.SolidPoint = v; });
}
bool GraphModel::SetElementShow(bool v) {
  props_.ElementShow = v;
  return PutElement([v](GraphElement& e) { e.Shown = v; });
}
bool GraphModel::SetElementName(const std::string& v) {
  props_.ElementName = v;
  return PutElement([&v](GraphElement& e) { e.Name = v; });
}

void GraphModel::SetElement(std::int16_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= elements_.size()) return;
  props_.Element = index;
  currentElement_ = static_cast<std::size_t>(index);
  const GraphElement& e = *elements_[currentElement_];
  props_.ElementLineColor = e.LineColor;
  props_.ElementPointColor = e.PointColor;
  props_.ElementWidth = e.Width;
  props_.ElementLineType = e.LineType;
  props_.ElementPointSymbol = e.PointSymbol;
  props_.ElementSolidPoint = e.SolidPoint;
  props_.ElementShow = e.Shown;
  props_.ElementName = e.Name;
  modified_ = true;
}

// ---- current annotation ----------------------------------------------------

GraphAnnotation* GraphModel::CurrentAnnotation() {
  const int i = props_.Annotation;
  return i >= 0 && static_cast<std::size_t>(i) < annotations_.size() ? &annotations_[i] : nullptr;
}

template <class F>
void GraphModel::PutAnnotation(F apply) {
  GraphAnnotation* a = CurrentAnnotation();
  if (!a) return;
  apply(*a);
  Redraw();
  modified_ = true;
}

void GraphModel::SetAnnoLabelCaption(const std::string& v) {
  props_.AnnoLabelCaption = v;
  PutAnnotation([&v](GraphAnnotation& a) { a.Caption = v; });
}
void GraphModel::SetAnnoLabelX(double v) {
  props_.AnnoLabelX = v;
  PutAnnotation([&](GraphAnnotation& a) {
    a.X = v;
    timeIndex_[MillisecondsOf(v)] = props_.Annotation;
  });
}
void GraphModel::SetAnnoLabelY(double v) {
  props_.AnnoLabelY = v;
  PutAnnotation([v](GraphAnnotation& a) { a.Y = v; });
}
void GraphModel::SetAnnoLabelColor(ColorRef v) {
  props_.AnnoLabelColor = v;
  PutAnnotation([v](GraphAnnotation& a) { a.Color = v; });
}
void GraphModel::SetAnnoLabelHorizontal(bool v) {
  props_.AnnoLabelHorizontal = v;
  PutAnnotation([v](GraphAnnotation& a) { a.Horizontal = v; });
}
void GraphModel::SetAnnoVisible(bool v) {
  props_.AnnoVisible = v;
  PutAnnotation([v](GraphAnnotation& a) { a.Visible = v; });
}
void GraphModel::SetAnnoLabelBkColor(ColorRef v) {
  props_.AnnoLabelBkColor = v;
  PutAnnotation([v](GraphAnnotation& a) { a.BkColor = v; });
}

void GraphModel::SetAnnotation(std::int16_t index) {
  props_.Annotation = index;
  const GraphAnnotation* a = CurrentAnnotation();
  if (!a) return;
  props_.AnnoLabelCaption = a->Caption;
  props_.AnnoLabelX = a->X;
  props_.AnnoLabelY = a->Y;
  props_.AnnoLabelColor = a->Color;
  props_.AnnoLabelBkColor = a->BkColor;
  props_.AnnoLabelHorizontal = a->Horizontal;
  props_.AnnoVisible = a->Visible;
  modified_ = true;
}

// ---- current cursor ----------------------------------------------------------

GraphCursor* GraphModel::CurrentCursor() {
  const int i = props_.Cursor;
  return i >= 0 && static_cast<std::size_t>(i) < cursors_.size() ? &cursors_[i] : nullptr;
}

template <class F>
void GraphModel::PutCursor(F apply) {
  GraphCursor* c = CurrentCursor();
  if (!c) return;
  apply(*c);
  if (host_) host_->RedrawPlotArea();
  modified_ = true;
}

void GraphModel::SetCursorX(double v) {
  props_.CursorX = v;
  PutCursor([v](GraphCursor& c) { c.X = v; });
}
void GraphModel::SetCursorY(double v) {
  props_.CursorY = v;
  PutCursor([v](GraphCursor& c) { c.Y = v; });
}
void GraphModel::SetCursorStyle(std::int16_t v) {
  props_.CursorStyle = v;
  PutCursor([v](GraphCursor& c) { c.Style = v; });
}
void GraphModel::SetCursorVisible(bool v) {
  props_.CursorVisible = v;
  PutCursor([v](GraphCursor& c) { c.Visible = v ? 1 : 0; });
}

void GraphModel::SetCursorColor(ColorRef v) {
  // With no current cursor the value is only stored.
  props_.CursorColor = v;
  if (GraphCursor* c = CurrentCursor()) {
    c->Color = v;
    Redraw();
  }
  modified_ = true;
}

bool GraphModel::SetCursorMode(std::int16_t v) {
  GraphCursor* c = CurrentCursor();
  if (c && v == 2) {
    // Snap to the point with the smallest sqrt(|dx| + |dy|); the first of
    // equally near points wins.
    const GraphElement* e = CurrentElement();
    if (!e || e->Count() == 0) return false;
    double best = 0.0;
    const ElementPoint* nearest = nullptr;
    for (const ElementPoint& p : e->Points()) {
      const double d = std::sqrt(std::fabs(p.X - c->X) + std::fabs(p.Y - c->Y));
      if (!nearest || d < best) {
        best = d;
        nearest = &p;
      }
    }
    c->X = props_.CursorX = nearest->X;
    c->Y = props_.CursorY = nearest->Y;
  }
  props_.CursorMode = v;
  PutCursor([v](GraphCursor& cur) { cur.Mode = v; });
  modified_ = true;
  return true;
}

void GraphModel::SetCursor(std::int16_t index) {
  props_.Cursor = index;
  const GraphCursor* c = CurrentCursor();
  if (!c) return;
  props_.CursorX = c->X;
  props_.CursorY = c->Y;
  props_.CursorColor = c->Color;
  props_.CursorVisible = c->Visible != 0;
  props_.CursorMode = c->Mode;
  props_.CursorStyle = c->Style;
  modified_ = true;
}

// ---- items -------------------------------------------------------------------

GraphElement* GraphModel::ElementAt(std::int16_t id) const {
  return id >= 0 && static_cast<std::size_t>(id) < elements_.size() ? elements_[id].get() : nullptr;
}

void GraphModel::AppendDefaultElement() {
  elements_.push_back(std::make_unique<GraphElement>(Numbered("Element-", elements_.size()), nextElementId_++));
}

void GraphModel::AddElement() {
  AppendDefaultElement();
  currentElement_ = elements_.size() - 1;
  props_.Element = static_cast<std::int16_t>(currentElement_);
  modified_ = true;
}

void GraphModel::DeleteElement(std::int16_t elementId) {
  if (!ElementAt(elementId)) return;
  elements_.erase(elements_.begin() + elementId);
  if (elements_.empty()) {
    scanResume_.reset();
    AppendDefaultElement();
    bounds_.valid = false;
  }
  currentElement_ = elements_.size() - 1;
  props_.Element = static_cast<std::int16_t>(currentElement_);
  Redraw();
  modified_ = true;
}

void GraphModel::ClearGraph() {
  elements_.clear();
  scanResume_.reset();
  AppendDefaultElement();
  currentElement_ = 0;
  props_.Element = 0;
  bounds_ = DataBounds{};
  selStart_ = selStop_ = 0.0;
  // The annotations go, and with them every time-index entry: an entry left
  // behind would name whatever annotation takes that index next.
  annotations_.clear();
  timeIndex_.clear();
  draggedAnnotation_ = -1;
  Redraw();
  modified_ = true;
}

void GraphModel::WidenBounds(double x, double y, bool rounded) {
  // A point that is not finite is a gap; it does not stretch the ranges.
  if (!std::isfinite(x) || !std::isfinite(y)) return;
  if (!bounds_.valid) {
    bounds_.minX = rounded ? std::floor(x) : x;
    bounds_.maxX = rounded ? std::ceil(x) : x;
    bounds_.minY = rounded ? std::floor(y) : y;
    bounds_.maxY = rounded ? std::ceil(y) : y;
    bounds_.valid = true;
    return;
  }
  if (x < bounds_.minX) bounds_.minX = rounded ? std::floor(x) : x;
  if (y < bounds_.minY) bounds_.minY = rounded ? std::floor(y) - 5 : y;
  if (x > bounds_.maxX) bounds_.maxX = rounded ? std::ceil(x) : x;
  if (y > bounds_.maxY) bounds_.maxY = rounded ? std::ceil(y) + 5 : y;
}

void GraphModel::PlotXY(double x, double y, std::int16_t elementId) {
  WidenBounds(x, y, true);
  if (GraphElement* e = ElementAt(elementId)) e->Append(x, y);
}

void GraphModel::PlotY(double y, std::int16_t elementId) {
  GraphElement* e = ElementAt(elementId);
  if (!e) return;
  const auto x = static_cast<double>(e->Count());
  WidenBounds(x, y, false);
  e->Append(x, y);
}

double GraphModel::ElementXValue(std::int32_t index, std::int16_t elementId) const {
  const GraphElement* e = ElementAt(elementId);
  return e && index >= 0 && static_cast<std::size_t>(index) < e->Count() ? e->Points()[index].X : 0.0;
}

double GraphModel::ElementYValue(std::int32_t index, std::int16_t elementId) const {
  const GraphElement* e = ElementAt(elementId);
  return e && index >= 0 && static_cast<std::size_t>(index) < e->Count() ? e->Points()[index].Y : 0.0;
}

void GraphModel::SetElementXValue(std::int32_t index, std::int16_t elementId, double v) {
  GraphElement* e = ElementAt(elementId);
  if (e && index >= 0 && static_cast<std::size_t>(index) < e->Count()) e->SetX(index, v);
  Redraw();
  modified_ = true;
}

void GraphModel::SetElementYValue(std::int32_t index, std::int16_t elementId, double v) {
  GraphElement* e = ElementAt(elementId);
  if (e && index >= 0 && static_cast<std::size_t>(index) < e->Count()) e->SetY(index, v);
  Redraw();
  modified_ = true;
}

void GraphModel::AddAnnotation() {
  GraphAnnotation a;
  a.Caption = Numbered("Annotation-", annotations_.size());
  annotations_.push_back(std::move(a));
  props_.Annotation = static_cast<std::int16_t>(annotations_.size() - 1);
  Redraw();
}

void GraphModel::DeleteAnnotation(std::int16_t annoId) {
  if (annoId < 0 || static_cast<std::size_t>(annoId) >= annotations_.size()) return;
  // Entries of the deleted annotation go; later ones move down with their
  // annotations.
  for (auto it = timeIndex_.begin(); it != timeIndex_.end();) {
    if (it->second == annoId) {
      it = timeIndex_.erase(it);
      continue;
    }
    if (it->second > annoId) --it->second;
    ++it;
  }
  annotations_.erase(annotations_.begin() + annoId);
  if (draggedAnnotation_ == annoId) draggedAnnotation_ = -1;
  if (draggedAnnotation_ > annoId) --draggedAnnotation_;
  Redraw();
}

void GraphModel::DeleteAnnotationByName(const std::string& name) {
  for (std::size_t i = annotations_.size(); i-- > 0;) {
    if (annotations_[i].Caption == name) {
      DeleteAnnotation(static_cast<std::int16_t>(i));
      return;
    }
  }
}

std::int32_t GraphModel::AnnotationAtTime(std::int64_t loMs, std::int64_t hiMs) const {
  for (auto it = timeIndex_.lower_bound(loMs); it != timeIndex_.end() && it->first <= hiMs; ++it) {
    if (it->second >= 0 && static_cast<std::size_t>(it->second) < annotations_.size()) return it->second;
  }
  return -1;
}

void GraphModel::AddCursor() {
  cursors_.emplace_back();
  props_.Cursor = static_cast<std::int16_t>(cursors_.size() - 1);
  Redraw();
}

void GraphModel::DeleteCursor(std::int16_t cursorId) {
  if (cursorId < 0 || static_cast<std::size_t>(cursorId) >= cursors_.size()) return;
  cursors_.erase(cursors_.begin() + cursorId);
  --props_.Cursor;
  Redraw();
}

void GraphModel::SetGridXElements(std::int32_t elements) {
  if (elements > 0) xDivisions_ = static_cast<int>(std::min<std::int32_t>(elements, 0x7FFF));
}

void GraphModel::SetGridYElements(std::int32_t elements) {
  if (elements > 0) yDivisions_ = static_cast<int>(std::min<std::int32_t>(elements, 0x7FFF));
}

void GraphModel::SetLayout(const PixelRect& bounds, const PixelRect& plot) {
  controlBounds_ = bounds;
  plot_ = plot;
  xScale_ = (xMax_ - xMin_) / plot.Width();
  yScale_ = (yMax_ - yMin_) / plot.Height();
}

// ---- persistence -------------------------------------------------------------

void GraphModel::DoPropExchange(PropertyExchange& px) {
  GraphProperties& p = props_;
  // The counters are persisted as 16-bit mirrors of the list sizes.
  std::int16_t elementCount = GetElementCount();
  std::int16_t annoCount = GetAnnoCount();
  std::int16_t frameStyle = p.FrameStyle;
  px.Exchange<bool>("ShowGrid", p.ShowGrid, false);
  px.Exchange<std::int32_t>("TrackMode", p.TrackMode, 71);
  px.Exchange<std::int16_t>("FrameStyle", frameStyle, 2);
  px.Exchange<ColorRef>("PlotAreaColor", p.PlotAreaColor, 0);
  px.Exchange<ColorRef>("ControlFrameColor", p.ControlFrameColor, 0xFFFFFF);
  px.Exchange<ColorRef>("AxisColor", p.AxisColor, 0);
  px.Exchange<ColorRef>("LabelColor", p.LabelColor, 0);
  px.Exchange<ColorRef>("GridColor", p.GridColor, 0x808080);
  px.Exchange<std::int16_t>("Cursor", p.Cursor, 0);
  px.Exchange<std::int16_t>("CursorStyle", p.CursorStyle, 0);
  px.Exchange<std::int16_t>("CursorMode", p.CursorMode, 0);
  px.Exchange<double>("CursorX", p.CursorX, 0.0);
  px.Exchange<double>("CursorY", p.CursorY, 0.0);
  px.Exchange<ColorRef>("CursorColor", p.CursorColor, 0xFFFFFF);
  px.Exchange<std::string>("FormatAxisLeft", p.FormatAxisLeft, "%g");
  px.Exchange<std::string>("FormatAxisBottom", p.FormatAxisBottom, "%g");
  px.Exchange<bool>("XTime", p.XTime, true);
  px.Exchange<bool>("YTime", p.YTime, false);
  px.Exchange<std::int16_t>("Element", p.Element, 0);
  px.Exchange<std::int16_t>("ElementCount", elementCount, 0);
  px.Exchange<bool>("ElementShow", p.ElementShow, true);
  px.Exchange<bool>("ElementSolidPoint", p.ElementSolidPoint, true);
  px.Exchange<ColorRef>("ElementLineColor", p.ElementLineColor, 0xFFFFFF);
  px.Exchange<ColorRef>("ElementPointColor", p.ElementPointColor, 0xFFFFFF);
  px.Exchange<std::int32_t>("ElementWidth", p.ElementWidth, 0);
  px.Exchange<std::int32_t>("ElementLinetype", p.ElementLineType, 0);
  px.Exchange<std::int32_t>("ElementPointSymbol", p.ElementPointSymbol, 0);
  px.Exchange<std::string>("ElementName", p.ElementName, "");
  px.Exchange<std::int16_t>("Annotation", p.Annotation, 0);
  px.Exchange<std::int16_t>("AnnoCount", annoCount, 0);
  px.Exchange<std::string>("AnnoLabelCaption", p.AnnoLabelCaption, "");
  px.Exchange<ColorRef>("AnnoLabelColor", p.AnnoLabelColor, 0xFFFFFF);
  px.Exchange<double>("AnnoLabelX", p.AnnoLabelX, 0.0);
  px.Exchange<double>("AnnoLabelY", p.AnnoLabelY, 0.0);
  px.Exchange<bool>("AnnoLabelHorizontal", p.AnnoLabelHorizontal, true);
  px.Exchange<bool>("AnnoVisible", p.AnnoVisible, true);
  px.Exchange<bool>("UseAutoRange", p.UseAutoRange, true);
  px.Exchange<FontDesc>("TickFont", p.TickFont, {"Arial", 8, 400});
  px.Exchange<FontDesc>("TitleFont", p.TitleFont, {"Times New Roman", 12, 700});
  px.Exchange<FontDesc>("LabelFont", p.LabelFont, {"Arial", 10, 400});
  px.Exchange<FontDesc>("IdentFont", p.IdentFont, {"Arial", 8, 100});
  px.Exchange<FontDesc>("NoSaveFont", p.NoSaveFont, {"Times New Roman", 22, 700});
  // The lists are not persisted, so the loaded counters change nothing.
  p.FrameStyle = frameStyle;
  if (px.Loading()) {
    for (int i = 0; i < static_cast<int>(CachedObject::Count); ++i) ++generations_[i];
  }
}

void GraphModel::SaveProperties(PropertyBag& bag) {
  bag.Set("_Version", kPropertyFormatVersion);
  PropertyExchange px(bag, false);
  DoPropExchange(px);
}

void GraphModel::LoadProperties(const PropertyBag& bag) {
  PropertyBag copy = bag;
  PropertyExchange px(copy, true);
  DoPropExchange(px);
}

void GraphModel::ResetProperties() { LoadProperties(PropertyBag{}); }

}  // namespace ORV::Graph
